#pragma once
// Turning a date-time into text with the program's fixed pictures.

#include <optional>
#include <string>

namespace yhz {

// A local date-time as an automation date: days since 1899-12-30, the
// fraction being the time of day.
double currentDateTime();
// Automation date of a calendar date and time; nullopt outside year 100..9999.
std::optional<double> makeDateTime(int year, int month, int day, int hour = 0, int minute = 0,
                                   int second = 0);

// True when the user's locale writes the time on a 24-hour clock.
bool localeUses24HourClock();

// `style` 0..3 picks the picture family ("yyyy年MM月dd日 ", "yyyy-MM-dd ",
// "yyyy/MM/dd ", "yyyyMMdd"); `part` 0..5 picks date and/or time portions.
// Out-of-range values count as 0. An unconvertible date gives "".
std::string formatDateTime(std::optional<double> dateTime = std::nullopt, int style = 0,
                           int part = 0);
std::string formatDateTime(std::optional<double> dateTime, int style, int part, bool use24Hour);

}  // namespace yhz
