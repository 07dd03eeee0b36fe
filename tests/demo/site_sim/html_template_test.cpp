#include <gtest/gtest.h>

#include "demo/site_sim/html_template.h"

namespace yhz::sim {
namespace {

TEST(HtmlTemplate, FillsFieldsAndRepeatsSectionsEscapingEveryValue) {
    TemplateValues values;
    values.fields = {{"title", "A & B"}, {"name", "outer"}};
    values.lists["rows"] = {{{"name", "<one>"}, {"v", "1"}}, {{"name", "\"two\""}, {"v", "2"}}};
    values.lists["none"] = {};
    auto html = renderTemplate(
        "<h1>{{title}}</h1>{{#rows}}<li id=\"{{v}}\">{{name}} of {{title}}</li>{{/rows}}"
        "{{#none}}never{{/none}}<p>{{name}}</p>",
        values);
    ASSERT_TRUE(html);
    EXPECT_EQ(*html,
              "<h1>A &amp; B</h1><li id=\"1\">&lt;one&gt; of A &amp; B</li>"
              "<li id=\"2\">&quot;two&quot; of A &amp; B</li><p>outer</p>");
    // Single braces (script, style) are plain text.
    EXPECT_EQ(renderTemplate("a{b} {c}}", values), "a{b} {c}}");
}

TEST(HtmlTemplate, RefusesWhatItCannotFillInsteadOfServingHalfAPage) {
    TemplateValues values;
    values.fields = {{"x", "1"}};
    values.lists["rows"] = {{{"y", "2"}}};
    for (const char* broken : {"{{missing}}", "{{x", "{{}}", "{{#rows}}open", "{{/rows}}",
                               "{{#nolist}}{{/nolist}}", "{{#rows}}{{z}}{{/rows}}"}) {
        EXPECT_FALSE(renderTemplate(broken, values).has_value()) << broken;
    }
}

}  // namespace
}  // namespace yhz::sim
