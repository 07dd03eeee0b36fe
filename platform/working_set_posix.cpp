#include <malloc.h>

#include "platform/working_set.h"

namespace yhz::platform {

void trimWorkingSet() {
#ifndef __SANITIZE_ADDRESS__
    malloc_trim(0);
#endif
    // Under the address sanitizer the heap is the sanitizer's own: glibc's
    // trim walks arenas it never filled and at times crashes there.
}

}  // namespace yhz::platform
