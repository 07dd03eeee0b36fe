#include <malloc.h>

#include "platform/working_set.h"

namespace yhz::platform {

void trimWorkingSet() {
    malloc_trim(0);
}

}  // namespace yhz::platform
