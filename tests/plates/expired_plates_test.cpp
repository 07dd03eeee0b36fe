#include "plates/expired_plates.h"

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace yhz {
namespace {

TEST(ExpiredPlates, MatchesPlatesContainedInAnyEntry) {
    ExpiredPlateSet set;
    EXPECT_FALSE(isExpiredPlate(set, ""));
    set.appendAll({gbk("粤B12345"), gbk("记录:粤B99999,逾期")});
    EXPECT_TRUE(isExpiredPlate(set, gbk("粤B12345")));
    EXPECT_TRUE(isExpiredPlate(set, gbk("粤B99999")));
    EXPECT_FALSE(isExpiredPlate(set, gbk("粤b12345")));
    EXPECT_FALSE(isExpiredPlate(set, gbk("粤B123456")));
    EXPECT_TRUE(isExpiredPlate(set, ""));
    set.clear();
    EXPECT_EQ(set.size(), 0u);
}

TEST(ExpiredPlates, EmptyPlateNeedsANonEmptyEntry) {
    ExpiredPlateSet set;
    set.append("");
    EXPECT_FALSE(isExpiredPlate(set, ""));
    set.append("X");
    EXPECT_TRUE(isExpiredPlate(set, ""));
}

TEST(ExpiredPlates, NeverMatchesInsideATwoByteCharacter) {
    ExpiredPlateSet set;
    set.append(
        "\xB0\x41"
        "B");  // a character whose second byte is 'A'
    EXPECT_FALSE(isExpiredPlate(set, "AB"));
    EXPECT_TRUE(isExpiredPlate(set, "B"));
}

}  // namespace
}  // namespace yhz
