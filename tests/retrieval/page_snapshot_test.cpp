#include "retrieval/page_snapshot.h"

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace yhz {
namespace {

PageElement element(int document, std::string tag,
                    std::vector<std::pair<std::string, std::string>> attributes,
                    std::string className = {}) {
    PageElement e;
    e.document = document;
    e.tag = std::move(tag);
    e.attributes = std::move(attributes);
    e.className = std::move(className);
    return e;
}

PageElement select(int document, std::string id, int selected,
                   std::vector<std::pair<std::string, std::string>> options) {
    PageElement e = element(document, "select", {{"id", std::move(id)}});
    e.selectedIndex = selected;
    e.options = std::move(options);
    e.value = selected >= 0 ? e.options[static_cast<size_t>(selected)].first : "";
    return e;
}

PageElement input(int document, std::string id, std::string value) {
    PageElement e = element(document, "input", {{"id", std::move(id)}, {"type", "text"}});
    e.value = std::move(value);
    return e;
}

TEST(Locator, readsEveryForm) {
    Locator l = parseLocator("ID=glbm[1]");
    EXPECT_EQ(l.kind, Locator::Kind::IdOrName);
    EXPECT_EQ(l.attribute, "id");
    EXPECT_EQ(l.value, "glbm");
    EXPECT_EQ(l.occurrence, 1);

    l = parseLocator("class=btn");
    EXPECT_EQ(l.kind, Locator::Kind::Contains);
    EXPECT_EQ(l.occurrence, std::nullopt);
    EXPECT_EQ(parseLocator("href=/a").kind, Locator::Kind::Contains);
    l = parseLocator("?Title=Hello");
    EXPECT_EQ(l.kind, Locator::Kind::Contains);
    EXPECT_EQ(l.attribute, "title");
    EXPECT_EQ(l.value, "Hello");
    EXPECT_EQ(parseLocator("type=text").kind, Locator::Kind::Equals);

    l = parseLocator("2");
    EXPECT_EQ(l.kind, Locator::Kind::Position);
    EXPECT_EQ(l.position, 2);
    l = parseLocator("0");
    EXPECT_EQ(l.kind, Locator::Kind::Tag);
    EXPECT_EQ(l.value, "0");
    EXPECT_EQ(parseLocator("INPUT").value, "input");

    // Only a whole "[digits]" at the end is an occurrence; an "=" in the
    // value stays in it.
    EXPECT_EQ(parseLocator("id=a[x]").value, "a[x]");
    EXPECT_EQ(parseLocator("id=a[-1]").value, "a[-1]");
    EXPECT_EQ(parseLocator("id=a[]").value, "a[]");
    EXPECT_EQ(parseLocator("name=a=b").value, "a=b");
    EXPECT_EQ(parseLocator("id=[99999999999999999999]").occurrence, std::nullopt);
}

TEST(PageSnapshot, idAndNameLookupsSearchTheDocumentsInOrder) {
    const PageSnapshot page({
        element(0, "html", {}),
        element(0, "input", {{"name", "glbm"}}),
        select(0, "glbm", 1, {{"a", "A"}, {"b", "B"}}),
        element(1, "input", {{"id", "inner"}}),
        element(1, "input", {{"id", "glbm"}}),
        element(1, "input", {{"id", "glbm"}}),
    });
    EXPECT_EQ(page.findElement("id=glbm"), 1);  // id or name, either will do
    EXPECT_EQ(page.findElement("id=glbm[1]"), 2);
    EXPECT_EQ(page.findElement("id=glbm", "*", 1), 2);
    EXPECT_EQ(page.findElement("id=glbm[0]", "*", 1), 2) << "the caller's index wins";
    EXPECT_EQ(page.selectByLocator("id=glbm"), 2);
    EXPECT_EQ(page.findElement("name=inner"), 3) << "a frame's document is searched";
    // The first document that has the name answers; past its matches the
    // lookup falls back to comparing the attribute over every document.
    EXPECT_EQ(page.findElement("id=glbm[2]"), 5);
    // Case differs: not a name, but equal as an attribute apart from case.
    EXPECT_EQ(page.findElement("id=INNER"), 3);
    EXPECT_EQ(page.findElement("id=none"), -1);
}

TEST(PageSnapshot, attributeMatchesPositionsAndTags) {
    const PageSnapshot page({
        element(0, "html", {}),
        element(0, "body", {}),
        element(0, "button", {{"id", "b"}, {"class", "btn primary"}}, "btn primary"),
        element(0, "input", {{"type", "TEXT"}}),
        element(0, "input", {{"type", "textarea"}}),
        element(0, "a", {{"href", "https://Example.com/Page"}}),
        element(1, "input", {{"type", "text"}, {"title", "Zip Code"}}),
    });
    EXPECT_EQ(page.findElement("class=BTN"), 2);
    EXPECT_EQ(page.findElement("type=text"), 3);
    EXPECT_EQ(page.findElement("type=text[1]"), 6);
    EXPECT_EQ(page.findElement("href=example.com/page"), 5);
    EXPECT_EQ(page.findElement("?title=zip"), 6);
    EXPECT_EQ(page.findElement("title=zip"), -1);
    EXPECT_EQ(page.findElement("type=text", "a"), -1) << "the tag filter applies";

    EXPECT_EQ(page.findElement("1", "input"), 4);
    EXPECT_EQ(page.findElement("-1"), -1);
    EXPECT_EQ(page.findElement("input", "*", 2), 6);
    EXPECT_EQ(page.findElement("99"), -1);
    EXPECT_EQ(page.findElement(""), -1);
}

TEST(PageSnapshot, valuesAndOptions) {
    const PageSnapshot page({
        select(0, "glbm", 2, {{"", "请选择"}, {"320900000400", "A"}, {"320900000401", "B"}}),
        select(0, "hpzl", -1, {{"02", "小型汽车"}}),
        input(0, "startTime", "2024-01-01"),
        input(0, "endTime", "2024-02-01"),
        element(0, "div", {{"id", "d"}}),
    });
    const int glbm = page.selectByLocator("id=glbm");
    EXPECT_EQ(page.selectedIndex(glbm), 2);
    EXPECT_EQ(page.optionValue(glbm, "3"), "320900000401");
    EXPECT_EQ(page.optionValue(glbm, "0"), "");
    EXPECT_EQ(page.optionValue(glbm, "4"), "");
    EXPECT_EQ(page.optionValue(glbm, "B"), "320900000401");
    EXPECT_EQ(page.optionValue(-1, "1"), "");
    EXPECT_EQ(page.selectedIndex(page.findElement("id=d")), -1);
    EXPECT_EQ(page.valueByLocator("id=d"), "") << "a div has no value";
    EXPECT_EQ(page.valueByLocator("id=startTime"), "2024-01-01");

    const PageChoices choices = choicesOf(page);
    EXPECT_EQ(choices.glbm, "320900000401");
    EXPECT_EQ(choices.hpzl, "") << "nothing chosen";
    EXPECT_EQ(choices.startTime, "2024-01-01");
    EXPECT_EQ(choices.endTime, "2024-02-01");
    EXPECT_EQ(choicesOf(PageSnapshot()).glbm, "");
}

TEST(PageSnapshot, readsTheScriptsAnswerAndNothingElse) {
    const auto page = PageSnapshot::fromJson(
        R"({"d":2,"e":[[0,"HTML",[],"",null],)"
        R"([0,"select",[["ID","hpzl"]],"",  "52",1,[["02","小型汽车"],["52","小型新能源汽车"]]],)"
        R"([1,"input",[["id","x"]],"c",7],"junk",[0],[1,"p",[["id","p"]],"",null]],"cut":false})");
    ASSERT_TRUE(page);
    ASSERT_EQ(page->elements().size(), 4u);
    EXPECT_EQ(page->elements()[0].tag, "html");
    EXPECT_EQ(page->optionValue(page->selectByLocator("id=hpzl"), gbk("小型新能源汽车")), "52");
    EXPECT_EQ(page->elements()[1].options[0].second, gbk("小型汽车")) << "texts become GBK";
    EXPECT_FALSE(page->elements()[2].value) << "a value that is not a text is none";
    EXPECT_EQ(page->elements()[3].document, 1);

    EXPECT_FALSE(PageSnapshot::fromJson(""));
    EXPECT_FALSE(PageSnapshot::fromJson("null"));
    EXPECT_FALSE(PageSnapshot::fromJson(R"({"e":{}})"));
    EXPECT_FALSE(PageSnapshot::fromJson(R"({"e":[)"));
    EXPECT_TRUE(PageSnapshot::fromJson(R"({"e":[]})"));

    // However many the text holds, an element keeps no more than the script collects.
    std::string pairs = R"(["a","b"])";
    for (int i = 0; i < PageSnapshot::kMaxOptions; ++i) {
        pairs += R"(,["a","b"])";
    }
    const auto crowded = PageSnapshot::fromJson(R"({"e":[[0,"select",[)" + pairs +
                                                R"(],"",null,0,[)" + pairs + "]]]}");
    ASSERT_TRUE(crowded);
    EXPECT_EQ(crowded->elements()[0].options.size(), size_t{PageSnapshot::kMaxOptions});
    EXPECT_EQ(crowded->elements()[0].attributes.size(), size_t{PageSnapshot::kMaxAttributes + 3});
}

}  // namespace
}  // namespace yhz
