#include "json/member_path.h"

#include <gtest/gtest.h>

#include <string>

#include "text/encoding.h"

namespace yhz::json {
namespace {

// The steps written back as `name`, `[index]` (`[big]` for an index too
// large) or "invalid".
std::string spelled(std::string_view path, PathRule rule = PathRule::Member) {
    const auto steps = parseMemberPath(path, rule);
    if (!steps) {
        return "invalid";
    }
    std::string out;
    for (const PathStep& step : *steps) {
        if (!out.empty()) {
            out += ' ';
        }
        out += step.isIndex ? (step.indexTooBig ? "[big]" : "[" + std::to_string(step.index) + "]")
                            : step.name;
    }
    return out;
}

TEST(MemberPath, NamesAndIndicesInTheirOrder) {
    EXPECT_EQ(spelled(""), "");
    EXPECT_EQ(spelled("totalCount"), "totalCount");
    EXPECT_EQ(spelled("data.content[3].subhd"), "data content [3] subhd");
    EXPECT_EQ(spelled("a[0][12]"), "a [0] [12]");
    EXPECT_EQ(spelled("_$x9.y_1"), "_$x9 y_1");
    EXPECT_EQ(spelled(gbk("号段.投放时间")), gbk("号段") + " " + gbk("投放时间"));
    // 2^64 does not fit; the step is kept and says so.
    EXPECT_EQ(spelled("a[18446744073709551615]"), "a [18446744073709551615]");
    EXPECT_EQ(spelled("a[18446744073709551616]"), "a [big]");
}

TEST(MemberPath, ALeadingBracketNeedsTheBracketRule) {
    EXPECT_EQ(spelled("[2].a", PathRule::Bracket), "[2] a");
    EXPECT_EQ(spelled("a[2]", PathRule::Bracket), "a [2]");
    EXPECT_EQ(spelled("[2].a", PathRule::Member), "invalid");
}

TEST(MemberPath, AnythingElseIsNoPath) {
    for (const char* bad : {"a..b", ".a", "a.", "a[", "a[]", "a[x]", "a[1", "a[-1]", "1a", "a.1",
                            "a b", "a()", "a['b']", "a]", "[", "a[1]x"}) {
        EXPECT_EQ(spelled(bad, PathRule::Bracket), "invalid") << bad;
    }
    // A two-byte character cut off at the end of the text.
    EXPECT_EQ(spelled(gbk("号").substr(0, 1)), "invalid");
    EXPECT_EQ(spelled("a." + gbk("号").substr(0, 1)), "invalid");
}

}  // namespace
}  // namespace yhz::json
