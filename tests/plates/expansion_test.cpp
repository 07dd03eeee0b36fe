#include "plates/expansion.h"

#include <gtest/gtest.h>

#include "base/operation_log.h"
#include "support/recording_window.h"
#include "text/encoding.h"

namespace yhz {
namespace {

std::vector<std::string> expand(std::string_view segment, std::string_view include,
                                std::string_view exclude) {
    std::vector<std::string> out;
    expandSegment(segment, DigitRules::parse(include, exclude),
                  [&](std::string&& plate) { out.push_back(plate); });
    return out;
}

bool has(const std::vector<std::string>& plates, std::string_view plate) {
    return std::find(plates.begin(), plates.end(), plate) != plates.end();
}

TEST(Expansion, PlacesDigitsIntoTheStartsPattern) {
    const auto plates = expand("A1B200 ~A1B299", "8", "4");
    EXPECT_TRUE(has(plates, "A1B258"));
    EXPECT_FALSE(has(plates, "A1B248"));
    EXPECT_FALSE(has(plates, "A1B200"));
    // 1208..1298 step 10 and 1280..1289, minus those with a 4 (1248, 1284).
    EXPECT_EQ(plates.size(), 17u);
    EXPECT_EQ(plates.front(), "A1B208");
}

TEST(Expansion, DefaultRulesJudgeOnlyTheDigits) {
    const DigitRules rules = DigitRules::parse("8,68,69", "4,37");
    EXPECT_TRUE(rules.passes("0868"));
    EXPECT_FALSE(rules.passes("0378"));
    EXPECT_FALSE(rules.passes("0123"));
    // Letters between the digits do not stop a rule from matching.
    EXPECT_TRUE(has(expand("A8A8A0 ~", "888", ""), "A8A8A8"));
}

TEST(Expansion, RunsExactlyOneHundredCandidatesFromTheStart) {
    const auto plates = expand("AB0000 ~AB0010", "", "");
    ASSERT_EQ(plates.size(), 100u);
    EXPECT_EQ(plates.front(), "AB0000");
    EXPECT_EQ(plates.back(), "AB0099");

    // Near the top of the range a value outgrows the digit positions: only
    // its first digits are placed, so plates repeat.
    const auto top = expand("AB9990 ~", "", "");
    ASSERT_EQ(top.size(), 100u);
    EXPECT_EQ(top[9], "AB9999");
    EXPECT_EQ(top[10], "AB1000");
    EXPECT_EQ(std::count(top.begin(), top.end(), "AB1000"), 10);
}

TEST(Expansion, RulesSplitAtCommasKeepingEmptyOnes) {
    // A leading comma is an empty exclude rule, which is in every candidate.
    EXPECT_TRUE(expand("AB0000 ~", "", ",4").empty());
    // A final comma adds nothing.
    EXPECT_EQ(expand("AB0000 ~", "8,", "").size(), 19u);
    // A rule with a space or a letter never matches a digit text.
    EXPECT_TRUE(expand("AB0000 ~", " 8", "").empty());
    EXPECT_TRUE(expand("AB0000 ~", "A", "").empty());
}

TEST(Expansion, SkipsShortStartsAndStartsWithoutDigits) {
    EXPECT_TRUE(expand("AB0000", "", "").empty());        // no " ~"
    EXPECT_TRUE(expand("AB000 ~AB099", "", "").empty());  // five characters
    EXPECT_TRUE(expand("A\r\n000 ~", "", "").empty());    // CR LF is one character
    EXPECT_TRUE(expand("ABCDEF ~", "", "").empty());      // nothing to count with
    // A double-byte character counts once and is kept whole.
    const std::string start = gbk("警") + "A1234 ~";
    const auto plates = expand(start, "", "");
    ASSERT_EQ(plates.size(), 100u);
    EXPECT_EQ(plates[1], gbk("警") + "A1235");
}

class ExpansionRun : public ::testing::Test {
protected:
    void SetUp() override {
        window.edits["编辑框1"] = "8";
        window.edits["编辑框2"] = "4";
        window.lists["组合框1"].items = {gbk("北京-京A"), gbk("广东广州-粤A")};
        window.lists["组合框1"].selection = 1;
    }
    void addSegment(const std::string& text, const std::string& time, bool checked) {
        segments.append(SegmentRow{text, time, checked});
    }
    test::RecordingWindow window;
    SegmentStore segments;
    PlateStore plates;
};

TEST_F(ExpansionRun, AppendsPlatesOfCheckedSegmentsAfterExistingRows) {
    plates.appendNumbered("OLD", "x", 1);
    addSegment("A1B200 ~A1B299", "2024-01-02", true);
    addSegment("C00000 ~C00099", "2024-01-03", false);
    addSegment("D00000 ~D00099", "2024-01-04", true);
    runExpansion(window, segments, plates);

    ASSERT_EQ(plates.rowCount(), 1 + 17 + 17);
    const PlateRow first = *plates.row(1);
    EXPECT_EQ(first.id, "2");
    EXPECT_EQ(first.plate, gbk("粤") + "A1B208");
    EXPECT_EQ(first.date, "2024-01-02");
    EXPECT_FALSE(first.checked);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(plates.row(18)->plate, gbk("粤") + "D00008");
    EXPECT_EQ(plates.row(34)->id, "35");

    const auto calls = window.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], "enable 超级按钮_筛选号牌");
    EXPECT_EQ(calls[1], "page 2");
    EXPECT_EQ(calls[2], "message 温馨提示： 筛选完毕！");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Information);
}

TEST_F(ExpansionRun, FinishesWithTheMessageWhenNothingIsChecked) {
    addSegment("A1B200 ~A1B299", "t", false);
    runExpansion(window, segments, plates);
    EXPECT_EQ(plates.rowCount(), 0);
    EXPECT_EQ(window.calls().back(), "message 温馨提示： 筛选完毕！");
    EXPECT_EQ(window.page, 2);
}

TEST_F(ExpansionRun, TheLogSaysHowManyPlatesWereListedOrWhyNone) {
    struct Case {
        const char* segment;
        bool checked;
        const char* line;
    };
    const Case cases[] = {
        {"A1B200 ~A1B299", true, "筛选完毕！本次列出17个号牌"},
        {"A1B200 ~A1B299", false, "筛选完毕！未勾选投放号段，没有列出号牌"},
        {"A44400 ~A44499", true, "筛选完毕！勾选的1个号段中没有号码符合包含、不包含和靓号条件"},
    };
    for (const Case& c : cases) {
        segments.clear();
        addSegment(c.segment, "t", c.checked);
        OperationLog log(window);
        runExpansion(window, segments, plates, {}, &log);
        EXPECT_NE(log.content().find(" >>> " + gbk(c.line) + "\r\n"), std::string::npos) << c.line;
    }
    // The line comes before the closing message.
    const auto calls = window.calls();
    EXPECT_EQ(calls[calls.size() - 4].rfind("log ", 0), 0u);
}

TEST_F(ExpansionRun, ProvinceComesFromTheSelectedItem) {
    EXPECT_EQ(provincePrefix(window), gbk("粤"));
    window.lists["组合框1"].selection = -1;
    EXPECT_EQ(provincePrefix(window), "");
    window.lists["组合框1"].items = {gbk("没有分隔")};
    window.lists["组合框1"].selection = 0;
    EXPECT_EQ(provincePrefix(window), "");
    addSegment("A1B200 ~", "t", true);
    runExpansion(window, segments, plates);
    EXPECT_EQ(plates.row(0)->plate, "A1B208");
}

}  // namespace
}  // namespace yhz
