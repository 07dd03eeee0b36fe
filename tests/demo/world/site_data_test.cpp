#include <gtest/gtest.h>

#include <set>

#include "demo/world/site_data.h"

namespace yhz::demo {
namespace {

bool serialLetter(char c) {
    return c >= 'A' && c <= 'Z' && c != 'I' && c != 'O';
}
bool digit(char c) {
    return c >= '0' && c <= '9';
}

TEST(SiteData, RegionTableMatchesTheProgramsRegionList) {
    ASSERT_EQ(regions().size(), 53u);
    EXPECT_EQ(regions().front().name, "北京");
    EXPECT_EQ(regions()[17].name, "江苏盐城");
    EXPECT_EQ(regions()[17].code, "js-yc");
    EXPECT_EQ(regions()[17].letter, 'J');
    EXPECT_EQ(regions().back().name, "新疆");
    std::set<std::string> codes, provinces;
    for (const Region& r : regions()) {
        EXPECT_TRUE(codes.insert(r.code).second) << r.code;
        provinces.insert(r.province);
        EXPECT_EQ(offices(r).size(), 3u);
    }
    EXPECT_EQ(provinces.size(), 31u);
    EXPECT_EQ(findRegion("JS-YC"), &regions()[17]);
    EXPECT_EQ(findRegion("js"), nullptr);
}

TEST(SiteData, SegmentStartsFollowTheCompositionRules) {
    for (const Region& region : regions()) {
        for (const Office& office : offices(region)) {
            for (const std::string& start : segmentPool(region, office, PlateType::Small)) {
                ASSERT_EQ(start.size(), 6u) << start;
                EXPECT_EQ(start[0], office.letter);
                int letters = 0;
                for (std::size_t i = 1; i < 6; ++i) {
                    EXPECT_TRUE(serialLetter(start[i]) || digit(start[i])) << start;
                    letters += serialLetter(start[i]) ? 1 : 0;
                }
                EXPECT_LE(letters, 2) << start;
                EXPECT_EQ(start.substr(4), "00");
            }
            for (const std::string& start : segmentPool(region, office, PlateType::NewEnergy)) {
                ASSERT_EQ(start.size(), 7u) << start;
                EXPECT_EQ(start[0], office.letter);
                EXPECT_TRUE(start[1] == 'D' || start[1] == 'F') << start;
                EXPECT_TRUE(serialLetter(start[2]) || digit(start[2])) << start;
                EXPECT_TRUE(digit(start[3]) && digit(start[4])) << start;
                EXPECT_EQ(start.substr(5), "00");
            }
        }
    }
    EXPECT_EQ(segmentEnd("JD1200"), "JD1299");
    auto serials = segmentSerials("JA3K00");
    ASSERT_EQ(serials.size(), 100u);
    EXPECT_EQ(serials.front(), "JA3K00");
    EXPECT_EQ(serials.back(), "JA3K99");
}

TEST(SiteData, ReleasesAreDeterministicAndNeverRepeatWithinAMonth) {
    const Region& region = *findRegion("gd");
    const Office office = offices(region)[1];
    const std::int64_t first = *parseDay("2024-01-01");
    auto a = releases(region, office, PlateType::Small, first, first + 90);
    auto b = releases(region, office, PlateType::Small, first, first + 90);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_GT(a.size(), 20u);
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].start, b[i].start);
        EXPECT_EQ(a[i].day, b[i].day);
        if (i > 0) {
            EXPECT_GT(a[i].day, a[i - 1].day);
        }
        for (std::size_t j = i + 1; j < a.size() && a[j].day - a[i].day < kSegmentPoolSize; ++j) {
            EXPECT_NE(a[i].start, a[j].start);
        }
    }
    // A sub-range is the matching part of the larger one.
    auto part = releases(region, office, PlateType::Small, first + 10, first + 20);
    for (const Release& r : part) {
        EXPECT_TRUE(r.day >= first + 10 && r.day <= first + 20);
    }
    EXPECT_TRUE(releases(region, office, PlateType::Small, first + 1, first).empty());
}

TEST(SiteData, TakenAndExpiredAreDisjointShares) {
    const Region& region = *findRegion("js-yc");
    const Office office = offices(region).front();
    int taken = 0, expired = 0, total = 0;
    for (const std::string& start : segmentPool(region, office, PlateType::Small)) {
        for (const std::string& serial : segmentSerials(start)) {
            std::string plate = region.province + serial;
            EXPECT_FALSE(isTakenPlate(plate) && isExpiredPlate(plate)) << plate;
            taken += isTakenPlate(plate) ? 1 : 0;
            expired += isExpiredPlate(plate) ? 1 : 0;
            ++total;
        }
    }
    EXPECT_GT(taken, total / 20);
    EXPECT_LT(taken, total / 5);
    EXPECT_GT(expired, 0);
    auto listed = expiredPlates(region, office, PlateType::Small);
    EXPECT_EQ(listed.size(), static_cast<std::size_t>(expired));
    for (const std::string& plate : listed) {
        EXPECT_EQ(plate.substr(0, 4), "苏J");
    }
}

TEST(SiteData, DaysParseStrictlyAndRoundTrip) {
    EXPECT_EQ(parseDay("1970-01-01"), std::nullopt);  // outside 2000..2099
    EXPECT_EQ(*parseDay("2000-01-01"), 10957);
    EXPECT_EQ(formatDay(*parseDay("2024-02-29")), "2024-02-29");
    EXPECT_EQ(*parseDay("2024-03-01") - *parseDay("2024-02-28"), 2);
    for (const char* bad : {"2023-02-29", "2024-13-01", "2024-00-10", "2024-1-01", "2024/01/01",
                            "2024-01-32", "", "2024-01-01 ", "２０２４-01-01"}) {
        EXPECT_EQ(parseDay(bad), std::nullopt) << bad;
    }
    for (std::int64_t d = *parseDay("2000-01-01"); d < *parseDay("2099-12-31"); d += 97) {
        EXPECT_EQ(parseDay(formatDay(d)), d);
    }
}

}  // namespace
}  // namespace yhz::demo
