#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <ctime>
#include <string_view>

#include "platform/local_clock.h"

namespace yhz::platform {

LocalTime localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
}

bool localeUses24HourClock() {
    locale_t loc = newlocale(LC_TIME_MASK, "", nullptr);
    if (loc == nullptr) {
        return true;
    }
    const std::string_view format = nl_langinfo_l(T_FMT, loc);
    const bool twelve = format.find("%I") != std::string_view::npos ||
                        format.find("%l") != std::string_view::npos ||
                        format.find("%r") != std::string_view::npos;
    freelocale(loc);
    return !twelve;
}

}  // namespace yhz::platform
