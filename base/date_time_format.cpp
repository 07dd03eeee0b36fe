#include "base/date_time_format.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "platform/local_clock.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace yhz {
namespace {

struct Fields {
    int year, month, day, hour, minute, second;
};

constexpr double kMinDate = -657434.0;  // 0100-01-01
constexpr double kMaxDate = 2958466.0;  // 10000-01-01, exclusive

std::optional<Fields> toFields(double dateTime) {
    if (!std::isfinite(dateTime) || dateTime < kMinDate || dateTime >= kMaxDate) {
        return std::nullopt;
    }
    using namespace std::chrono;
    const double whole = std::trunc(dateTime);
    // The time of day is the fraction's magnitude, also for dates before 1899-12-30.
    long seconds = std::lround(std::fabs(dateTime - whole) * 86400.0);
    long dayNumber = static_cast<long>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        dayNumber += 1;
    }
    const year_month_day ymd{sys_days{year{1899} / December / 30} + days{dayNumber}};
    if (!ymd.ok() || static_cast<int>(ymd.year()) > 9999) {
        return std::nullopt;
    }
    return Fields{static_cast<int>(ymd.year()),          static_cast<int>(unsigned(ymd.month())),
                  static_cast<int>(unsigned(ymd.day())), static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60),   static_cast<int>(seconds % 60)};
}

void appendNumber(std::string& out, int value, int width) {
    std::array<char, 16> buf{};
    std::snprintf(buf.data(), buf.size(), "%0*d", width, value);
    out += buf.data();
}

// Expands one date or time picture. Only the letters of its own kind are
// fields; every other character, double-byte ones included, is copied.
std::string expandPicture(std::string_view picture, const Fields& f, bool isDate) {
    std::string out;
    size_t at = 0;
    while (at < picture.size()) {
        const char c = picture[at];
        if (static_cast<unsigned char>(c) >= 0x80) {
            out.append(picture.substr(at, std::min<size_t>(2, picture.size() - at)));
            at += 2;
            continue;
        }
        size_t run = 1;
        while (at + run < picture.size() && picture[at + run] == c) {
            ++run;
        }
        const int width = run >= 2 ? 2 : 1;
        bool field = true;
        if (isDate && c == 'y') {
            if (run >= 3) {
                appendNumber(out, f.year, 4);
            } else {
                appendNumber(out, f.year % 100, run == 2 ? 2 : 1);
            }
        } else if (isDate && c == 'M' && run <= 2) {
            appendNumber(out, f.month, width);
        } else if (isDate && c == 'd' && run <= 2) {
            appendNumber(out, f.day, width);
        } else if (!isDate && c == 'h') {
            const int h12 = f.hour % 12 == 0 ? 12 : f.hour % 12;
            appendNumber(out, h12, width);
        } else if (!isDate && c == 'H') {
            appendNumber(out, f.hour, width);
        } else if (!isDate && c == 'm') {
            appendNumber(out, f.minute, width);
        } else if (!isDate && c == 's') {
            appendNumber(out, f.second, width);
        } else {
            field = false;
        }
        if (!field) {
            out.append(picture.substr(at, run));
        }
        at += run;
    }
    return out;
}

struct Pictures {
    std::string dateTime, monthDay, full, hourMinute, minuteSecond;
};

const std::array<Pictures, 4>& pictures() {
    static const std::array<Pictures, 4> table{{
        {gbk("yyyy年MM月dd日 "), gbk("MM月dd日"), gbk("hh时mm分ss秒"), gbk("hh时mm分"),
         gbk("mm分ss秒")},
        {"yyyy-MM-dd ", "MM-dd", "hh:mm:ss", "hh:mm", "mm:ss"},
        {"yyyy/MM/dd ", "MM/dd", "hh/mm/ss", "hh/mm", "mm/ss"},
        {"yyyyMMdd", "MMdd", "hhmmss", "hhmm", "mmss"},
    }};
    return table;
}

}  // namespace

std::optional<double> makeDateTime(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const year_month_day ymd{std::chrono::year{year}, std::chrono::month{unsigned(month)},
                             std::chrono::day{unsigned(day)}};
    if (year < 100 || year > 9999 || !ymd.ok() || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    const auto dayNumber =
        (sys_days{ymd} - sys_days{std::chrono::year{1899} / December / 30}).count();
    const double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    // Before the epoch the fraction still counts forward within the day.
    return dayNumber >= 0 ? static_cast<double>(dayNumber) + fraction
                          : static_cast<double>(dayNumber) - fraction;
}

double currentDateTime() {
    const platform::LocalTime now = platform::localTimeNow();
    return makeDateTime(now.year, now.month, now.day, now.hour, now.minute, now.second)
        .value_or(0.0);
}

bool localeUses24HourClock() {
    return platform::localeUses24HourClock();
}

std::string formatDateTime(std::optional<double> dateTime, int style, int part) {
    return formatDateTime(dateTime, style, part, localeUses24HourClock());
}

std::string formatDateTime(std::optional<double> dateTime, int style, int part, bool use24Hour) {
    if (style < 0 || style > 3) {
        style = 0;
    }
    if (part < 0 || part > 5) {
        part = 0;
    }
    const Pictures& p = pictures()[static_cast<size_t>(style)];
    std::string datePicture = p.dateTime;
    std::string timePicture = p.full;
    switch (part) {
        case 1:
            datePicture = trimSpaces(datePicture);
            timePicture.clear();
            break;
        case 2:
            datePicture = p.monthDay;
            timePicture.clear();
            break;
        case 3:
            datePicture.clear();
            break;
        case 4:
            datePicture.clear();
            timePicture = p.hourMinute;
            break;
        case 5:
            datePicture.clear();
            timePicture = p.minuteSecond;
            break;
        default:
            break;
    }
    if (use24Hour) {
        timePicture = replaceAll(timePicture, "hh", "HH");
    }
    const std::optional<Fields> fields = toFields(dateTime.value_or(currentDateTime()));
    if (!fields) {
        return {};
    }
    std::string out;
    if (datePicture.size() > 2) {
        out += expandPicture(datePicture, *fields, true);
    }
    if (timePicture.size() > 2) {
        out += expandPicture(timePicture, *fields, false);
    }
    return out;
}

}  // namespace yhz
