#include "json/script_json.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "text/encoding.h"

namespace yhz {
namespace {

TEST(ScriptJson, parseAnswersForValuesNullAndBrokenText) {
    ScriptJson j;
    for (const char* good : {"{}", "[]", "0", "true", "false", "\"\"", " {\"a\":1} "}) {
        EXPECT_TRUE(j.parse(good)) << good;
    }
    for (const char* bad :
         {"null", "", "   ", "{", "[1,]", "{'a':1}", "<html>error</html>", "{\"a\":1}x", "1e400"}) {
        EXPECT_FALSE(j.parse(bad)) << bad;
        EXPECT_EQ(j.count("content"), 0);
        EXPECT_EQ(j.getText("a"), "");
        EXPECT_EQ(j.typeOf("a"), ScriptJson::kOther);
        EXPECT_EQ(j.toJson(), "");
    }
}

TEST(ScriptJson, readsAPagedReplyTheWayTheRetrievalDoes) {
    ScriptJson reply;
    ASSERT_TRUE(reply.parse(
        R"({"code":1,"data":{"totalCount":125,"content":[{"subhd":"X","tfrq":"2024-01-02"}]}})"));
    ScriptJson data = reply.getObject("data");
    EXPECT_EQ(data.getText("totalCount"), "125");
    EXPECT_EQ(data.count("content"), 1);
    EXPECT_EQ(data.getText("content[0].subhd"), "X");
    EXPECT_EQ(data.getText("content[0].tfrq"), "2024-01-02");
    EXPECT_EQ(data.getText("content[1].subhd"), "");
    EXPECT_EQ(reply.getText("data.content[0].subhd"), "X");
}

TEST(ScriptJson, countsMembersElementsMissingAndUnreachable) {
    ScriptJson j;
    ASSERT_TRUE(j.parse(R"({"e":[],"a":[1,2,3],"o":{"x":1,"y":2},"n":null,"s":"t"})"));
    EXPECT_EQ(j.count("e"), 0);
    EXPECT_EQ(j.count("a"), 3);
    EXPECT_EQ(j.count("o"), 2);
    EXPECT_EQ(j.count(""), 5);
    EXPECT_EQ(j.count("missing"), -2);
    EXPECT_EQ(j.count("n"), -2);
    EXPECT_EQ(j.count("missing.deeper"), 0);
    EXPECT_EQ(j.count("n.x"), 0);
    EXPECT_EQ(j.count("a..b"), 0);
}

TEST(ScriptJson, textsOfNumbersStringsAndNull) {
    ScriptJson j;
    ASSERT_TRUE(j.parse(gbk(R"({"i":125,"f":1.5,"big":12345678901234,"neg":-0.25,"n":null,)"
                            R"("zh":"粤B12345","b":true,"arr":[10,"x"]})")));
    EXPECT_EQ(j.getText("i"), "125");
    EXPECT_EQ(j.getText("f"), "1.5");
    EXPECT_EQ(j.getText("big"), "1.234567890123e+13");
    EXPECT_EQ(j.getText("neg"), "-0.25");
    EXPECT_EQ(j.getText("n"), "");
    EXPECT_EQ(j.getText("zh"), gbk("粤B12345"));
    EXPECT_EQ(j.getText("b"), "true");
    EXPECT_EQ(j.getText("arr[0]"), "10");
    EXPECT_EQ(j.getText("arr", true), R"([10,"x"])");
    EXPECT_EQ(j.getText("missing", true), "");
    EXPECT_DOUBLE_EQ(j.getNumber("f"), 1.5);
    EXPECT_DOUBLE_EQ(j.getNumber("missing"), 0);

    // A path that begins with "[" addresses a root array for the reading operations.
    ScriptJson arr;
    ASSERT_TRUE(arr.parse(R"([{"a":"first"},{"a":"second"},7])"));
    EXPECT_EQ(arr.getText("[1].a"), "second");
    EXPECT_EQ(arr.getText("[2]"), "7");
    EXPECT_EQ(arr.count("[0]"), 1);
    EXPECT_EQ(arr.typeOf("[0]"), ScriptJson::kOther);  // not for typeOf
    EXPECT_FALSE(arr.has("[0]"));
}

TEST(ScriptJson, typeCodes) {
    ScriptJson j;
    ASSERT_TRUE(j.parse(R"({"a":[1],"o":{},"s":"x","n":2,"b":false,"z":null})"));
    EXPECT_EQ(j.typeOf("a"), ScriptJson::kArray);
    EXPECT_EQ(j.typeOf("o"), ScriptJson::kObject);
    EXPECT_EQ(j.typeOf("s"), ScriptJson::kString);
    EXPECT_EQ(j.typeOf("n"), ScriptJson::kNumber);
    EXPECT_EQ(j.typeOf("b"), ScriptJson::kBoolean);
    EXPECT_EQ(j.typeOf("z"), ScriptJson::kNull);
    EXPECT_EQ(j.typeOf("missing"), ScriptJson::kNull);
    EXPECT_EQ(j.typeOf("missing.x"), ScriptJson::kOther);
    EXPECT_EQ(j.typeOf("toJSONString"), ScriptJson::kOther);
    EXPECT_EQ(j.typeOf("a.length"), ScriptJson::kNumber);
    EXPECT_EQ(j.typeOf("bad path"), ScriptJson::kOther);
}

TEST(ScriptJson, keysInOrderWithGbkNames) {
    ScriptJson j;
    ASSERT_TRUE(j.parse(gbk(R"({"b":2,"a":1,"号段":3,"list":["x","y"]})")));
    std::vector<std::string> list = {"stale"};
    EXPECT_EQ(j.keys(list), 4);
    EXPECT_EQ(list, (std::vector<std::string>{"b", "a", gbk("号段"), "list"}));
    EXPECT_EQ(j.keys(list, "list"), 2);
    EXPECT_EQ(list, (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(j.keys(list, "missing"), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(j.getText(gbk("号段")), "3");
    ASSERT_TRUE(j.parse(R"({"toJSONString":1,"x":2,"parseJSON":3})"));
    EXPECT_EQ(j.keys(list), 1);
    EXPECT_EQ(list, std::vector<std::string>{"x"});
}

TEST(ScriptJson, getObjectIsAnIndependentCopyAndMissingHoldsNothing) {
    ScriptJson j;
    ASSERT_TRUE(j.parse(R"({"data":{"v":1}})"));
    ScriptJson part = j.getObject("data");
    part.setNumber("v", 2);
    j.setNumber("data.w", 3);
    EXPECT_EQ(part.toJson(), R"({"v":2})");
    EXPECT_EQ(j.toJson(), R"({"data":{"v":1,"w":3}})");

    // Readers made from one reply stay apart whichever writes, and outlive it.
    auto reply = std::make_unique<ScriptJson>();
    ASSERT_TRUE(reply->parse(R"({"d":{"l":[{"x":1},{"x":2}]}})"));
    ScriptJson d = reply->getObject("d");
    ScriptJson l = d.getObject("l");
    ScriptJson e0 = l.elementObject(0);
    reply->removeAt("d.l[0]");
    reply.reset();
    d.push("3", "l", true);
    e0.setNumber("x", 9);
    EXPECT_EQ(d.toJson(), R"({"l":[{"x":1},{"x":2},3]})");
    EXPECT_EQ(l.toJson(), R"([{"x":1},{"x":2}])");
    EXPECT_EQ(e0.toJson(), R"({"x":9})");
    l.parse("[]");
    EXPECT_EQ(d.count("l"), 3);

    ScriptJson none = j.getObject("nothing");
    EXPECT_EQ(none.toJson(), "");
    EXPECT_EQ(none.getText("v"), "");
    EXPECT_EQ(none.count("v"), 0);
    EXPECT_FALSE(none.has("v"));
    EXPECT_EQ(none.typeOf("v"), ScriptJson::kOther);

    // copy() shares the value.
    ScriptJson shared = j.copy();
    shared.setMember("s", "t");
    EXPECT_EQ(j.getText("s"), "t");
}

TEST(ScriptJson, writesCompactJsonWithTheEngineEscapesAndNumbers) {
    // The writers' own rules are tested with them; here, that the reader's
    // text is theirs, in GBK.
    ScriptJson j;
    ASSERT_TRUE(j.parse(gbk(R"({"z":1,"a":"q\"\u200c中","n":[1e21,100.0]})")));
    EXPECT_EQ(j.toJson(), gbk(R"({"z":1,"a":"q\"\u200c中","n":[1e+21,100]})"));
    // A character GBK cannot hold comes out as "?".
    ASSERT_TRUE(j.parse("[\"\\ud83d\\ude00\"]"));
    EXPECT_EQ(j.toJson(), "[\"?\"]");
}

TEST(ScriptJson, deepOrHugeTextEndsAsAFailedParse) {
    ScriptJson j;
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_FALSE(j.parse(deep));
    const std::string deepObjects = [] {
        std::string s;
        for (int i = 0; i < 100000; ++i) {
            s += "{\"a\":";
        }
        s += "1";
        s += std::string(100000, '}');
        return s;
    }();
    EXPECT_FALSE(j.parse(deepObjects));
    const std::string limit =
        std::string(ScriptJson::kMaxDepth, '[') + std::string(ScriptJson::kMaxDepth, ']');
    EXPECT_TRUE(j.parse(limit));
    EXPECT_FALSE(j.parse("[" + limit + "]"));

    const std::string huge = "{\"s\":\"" + std::string(8 * 1024 * 1024, 'x') + "\"}";
    EXPECT_TRUE(j.parse(huge));
    EXPECT_EQ(j.getText("s").size(), 8u * 1024 * 1024);
    EXPECT_FALSE(j.parse(huge.substr(0, huge.size() - 1)));
}

TEST(ScriptJson, buildingOperations) {
    ScriptJson j;
    EXPECT_EQ(j.toJson(), "{}");
    j.setMember("name", gbk("云"));
    j.setMember("obj", "", true);
    j.setMember("raw", "[1,2]", true);
    j.setMember("broken", "[1,", true);
    j.setNumber("pi", 3.14159265358979);
    j.setMemberJson("obj.inner", R"({"k":true})");
    j.setMember("missing.x", "lost");
    EXPECT_EQ(j.toJson(),
              gbk(R"({"name":"云","obj":{"inner":{"k":true}},"raw":[1,2],"pi":3.14159265359})"));

    j.push("a", "list");
    j.push("{\"b\":1}", "list", true);
    j.push("", "list", true);
    EXPECT_EQ(j.getText("list", true), R"(["a",{"b":1}])");
    j.push("c", "name");  // not an array: becomes one
    EXPECT_EQ(j.getText("name", true), R"(["c"])");
    EXPECT_EQ(j.elementText(1, "list", true), R"({"b":1})");
    EXPECT_EQ(j.elementText(0, "list"), "a");
    EXPECT_EQ(j.elementObject(1, "list").getText("b"), "1");

    j.setMember("seq", "[0,1,2,3,4]", true);
    j.removeAt("seq[1]");
    EXPECT_EQ(j.getText("seq", true), "[0,2,3,4]");
    j.setMemberJson("seq", "");
    EXPECT_FALSE(j.has("seq"));
    EXPECT_TRUE(j.has("pi"));

    ScriptJson arr;
    arr.reset(ScriptJson::kArray);
    arr.setElement(2, "x");
    arr.setElement(0, "7", true);
    EXPECT_EQ(arr.toJson(), R"([7,null,"x"])");
    arr.removeElement(-1);
    arr.removeElement(9);
    EXPECT_EQ(arr.toJson(), "[7,null]");
    arr.setRoot("plain");
    EXPECT_EQ(arr.toJson(), R"("plain")");
    arr.setRoot("{\"r\":1}", true);
    EXPECT_EQ(arr.getText("r"), "1");
    arr.clear();
    EXPECT_EQ(arr.toJson(), "{}");

    // A value may hold a single quote.
    j.setMember("q", "it's");
    EXPECT_EQ(j.getText("q"), "it's");
}

TEST(ScriptJson, writesCannotNestPastTheDepthBound) {
    ScriptJson j;
    const std::string nearLimit =
        std::string(ScriptJson::kMaxDepth - 1, '[') + std::string(ScriptJson::kMaxDepth - 1, ']');
    j.setMember("a", nearLimit, true);
    EXPECT_EQ(j.typeOf("a"), ScriptJson::kArray);
    j.setMember("b", "[" + nearLimit + "]", true);
    EXPECT_FALSE(j.has("b"));
    EXPECT_TRUE(j.parse(j.toJson()));
}

}  // namespace
}  // namespace yhz
