#include <windows.h>

#include "platform/working_set.h"

namespace yhz::platform {

void trimWorkingSet() {
    // The system may refuse bounds this small; the trim is best effort and
    // its result is not looked at.
    SetProcessWorkingSetSize(GetCurrentProcess(), 50000, 100000);
}

}  // namespace yhz::platform
