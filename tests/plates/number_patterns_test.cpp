#include "plates/number_patterns.h"

#include <gtest/gtest.h>

#include "plates/expansion.h"
#include "support/recording_window.h"
#include "text/encoding.h"

namespace yhz {
namespace {

struct ShapeCase {
    NumberShape shape;
    std::vector<std::string_view> yes;
    std::vector<std::string_view> no;
};

TEST(NumberPatterns, ShapeTable) {
    const std::vector<ShapeCase> table = {
        {NumberShape::Triple, {"12333", "00012", "5555", "777"}, {"12332", "1212", "33", ""}},
        {NumberShape::Quadruple, {"18888", "00001", "9999"}, {"88818", "1888", "888"}},
        {NumberShape::Pairs, {"11223", "91122", "5566"}, {"11113", "1212", "112"}},
        {NumberShape::Alternation, {"12121", "01212", "8989"}, {"11111", "12211", "121"}},
        {NumberShape::Mirror, {"12211", "01221", "8998"}, {"11111", "12121", "122"}},
        {NumberShape::StraightUp, {"01234", "56789", "90123"}, {"4321", "0124", "7890", "123"}},
        {NumberShape::StraightDown, {"43210", "09876", "3210"}, {"1234", "1098", "321"}},
    };
    for (const ShapeCase& c : table) {
        for (std::string_view digits : c.yes) {
            EXPECT_TRUE(hasShape(digits, c.shape)) << static_cast<int>(c.shape) << " " << digits;
        }
        for (std::string_view digits : c.no) {
            EXPECT_FALSE(hasShape(digits, c.shape)) << static_cast<int>(c.shape) << " " << digits;
        }
    }
}

TEST(NumberPatterns, ShapesWidenEachOtherTailsNarrow) {
    EXPECT_TRUE(NumberPatterns{}.passes("12345"));
    NumberPatterns shapes;
    shapes.with(NumberShape::Triple).with(NumberShape::Mirror);
    EXPECT_TRUE(shapes.passes("10001"));
    EXPECT_TRUE(shapes.passes("51221"));
    EXPECT_FALSE(shapes.passes("51234"));

    NumberPatterns tails = shapes;
    tails.tails[8] = tails.tails[9] = true;
    EXPECT_FALSE(tails.passes("10001"));
    EXPECT_TRUE(tails.passes("10008"));
    EXPECT_FALSE(tails.passes("12348"));
    NumberPatterns onlyTails;
    onlyTails.tails[6] = true;
    EXPECT_TRUE(onlyTails.passes("12346"));
    EXPECT_FALSE(onlyTails.passes("12345"));
    EXPECT_FALSE(onlyTails.passes(""));
}

TEST(NumberPatterns, ChoicesNarrowTheDigitRulesInARun) {
    test::RecordingWindow window;
    window.edits["编辑框1"] = "8";
    window.edits["编辑框2"] = "4";
    window.checks["靓号_AAA"] = true;
    window.checks["尾号_8"] = true;
    window.checks["靓号_顺子"] = false;
    SegmentStore segments;
    segments.append(SegmentRow{"A1B800 ~A1B899", "2024-01-02", true});
    PlateStore plates;
    runExpansion(window, segments, plates);
    // 1800..1899 holding an 8, no 4, three equal digits in a row, ending in 8.
    std::vector<std::string> got;
    for (int k = 0; k < plates.rowCount(); ++k) {
        got.push_back(plates.row(k)->plate);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"A1B888"}));
}

}  // namespace
}  // namespace yhz
