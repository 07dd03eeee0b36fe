#pragma once
// The local clock and the user's locale: localtime_r and the locale's time
// format on Linux, GetLocalTime and LOCALE_ITIME on Windows.

namespace yhz::platform {

struct LocalTime {
    int year, month, day, hour, minute, second;
};

// The local date and time now, to the second.
LocalTime localTimeNow();

// True when the user's locale writes the time on a 24-hour clock.
bool localeUses24HourClock();

}  // namespace yhz::platform
