#include <windows.h>

#include <algorithm>

#include "platform/local_clock.h"

namespace yhz::platform {

LocalTime localTimeNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth,  now.wDay,
            now.wHour, now.wMinute, std::min<int>(now.wSecond, 59)};
}

bool localeUses24HourClock() {
    // "1" is the 24-hour clock; a locale that cannot be read counts as one.
    char value[4] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_ITIME, value, sizeof value) <= 0) {
        return true;
    }
    return value[0] == '1';
}

}  // namespace yhz::platform
