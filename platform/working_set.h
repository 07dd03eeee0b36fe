#pragma once
// Gives unused memory back to the system: malloc_trim on Linux, the working
// set bounded to 50000..100000 bytes with SetProcessWorkingSetSize on Windows.

namespace yhz::platform {

void trimWorkingSet();

}  // namespace yhz::platform
