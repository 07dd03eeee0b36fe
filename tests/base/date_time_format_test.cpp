#include <gtest/gtest.h>

#include "base/date_time_format.h"
#include "text/encoding.h"

namespace yhz {
namespace {

double at(int y, int mo, int d, int h, int mi, int s) {
    return makeDateTime(y, mo, d, h, mi, s).value();
}

TEST(DateTimeFormat, StyleAndPartTable) {
    const double t = at(2024, 3, 5, 14, 5, 9);
    struct Row {
        int style, part;
        bool h24;
        const char* expected;  // UTF-8
    };
    const Row rows[] = {
        {0, 0, true, "2024年03月05日 14时05分09秒"},
        {0, 0, false, "2024年03月05日 02时05分09秒"},
        {0, 1, true, "2024年03月05日"},
        {0, 2, true, "03月05日"},
        {0, 3, true, "14时05分09秒"},
        {0, 4, true, "14时05分"},
        {0, 5, true, "05分09秒"},
        {1, 0, true, "2024-03-05 14:05:09"},
        {1, 1, true, "2024-03-05"},
        {1, 2, true, "03-05"},
        {1, 3, true, "14:05:09"},
        {1, 3, false, "02:05:09"},
        {1, 4, false, "02:05"},
        {1, 5, true, "05:09"},
        {2, 0, true, "2024/03/05 14/05/09"},
        {2, 2, true, "03/05"},
        {3, 0, true, "20240305140509"},
        {3, 1, true, "20240305"},
        {3, 2, true, "0305"},
        {3, 4, true, "1405"},
        {3, 5, true, "0509"},
        // Out-of-range choices count as 0.
        {7, 0, true, "2024年03月05日 14时05分09秒"},
        {-1, 3, true, "14时05分09秒"},
        {1, 9, true, "2024-03-05 14:05:09"},
        {1, -2, true, "2024-03-05 14:05:09"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(localToUtf8(formatDateTime(t, row.style, row.part, row.h24)), row.expected)
            << "style " << row.style << " part " << row.part << " 24h " << row.h24;
    }
}

TEST(DateTimeFormat, TwelveHourClockAroundMidnightAndNoon) {
    EXPECT_EQ(formatDateTime(at(2024, 1, 1, 0, 0, 0), 1, 3, false), "12:00:00");
    EXPECT_EQ(formatDateTime(at(2024, 1, 1, 12, 30, 0), 1, 3, false), "12:30:00");
    EXPECT_EQ(formatDateTime(at(2024, 1, 1, 23, 59, 59), 1, 3, true), "23:59:59");
}

TEST(DateTimeFormat, AutomationDateArithmetic) {
    EXPECT_EQ(formatDateTime(0.0, 1, 0, true), "1899-12-30 00:00:00");
    EXPECT_EQ(formatDateTime(0.25, 1, 0, true), "1899-12-30 06:00:00");
    // Before the epoch the fraction still counts forward within the day.
    EXPECT_EQ(formatDateTime(-1.25, 1, 0, true), "1899-12-29 06:00:00");
    EXPECT_EQ(formatDateTime(at(2000, 2, 29, 0, 0, 0), 1, 1, true), "2000-02-29");
    // A value just short of midnight rounds up into the next day.
    EXPECT_EQ(formatDateTime(1.0 - 1e-9, 1, 0, true), "1899-12-31 00:00:00");
}

TEST(DateTimeFormat, UnconvertibleValuesGiveEmptyText) {
    EXPECT_EQ(formatDateTime(1e12, 1, 0, true), "");
    EXPECT_EQ(formatDateTime(-1e9, 1, 0, true), "");
    EXPECT_EQ(formatDateTime(std::numeric_limits<double>::quiet_NaN(), 1, 0, true), "");
    EXPECT_FALSE(makeDateTime(2023, 2, 29).has_value());
    EXPECT_FALSE(makeDateTime(2023, 13, 1).has_value());
}

TEST(DateTimeFormat, CurrentTimeIsUsedWhenLeftOut) {
    const std::string now = formatDateTime(std::nullopt, 3, 1);
    ASSERT_EQ(now.size(), 8u);
    EXPECT_EQ(now.substr(0, 2), "20");
}

}  // namespace
}  // namespace yhz
