#pragma once
// Fills the simulator's page templates (HTML files compiled in). "{{name}}"
// takes a text, HTML-escaped; "{{#list}}...{{/list}}" is repeated once for
// each row of a list, and names inside it look in the row first. Nothing
// else in a template is special.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace yhz::sim {

struct TemplateValues {
    using Fields = std::map<std::string, std::string, std::less<>>;
    Fields fields;
    std::map<std::string, std::vector<Fields>, std::less<>> lists;
};

// The filled template; nullopt when it names a field or list it was not
// given or leaves a section open, so that a page is never served half filled.
std::optional<std::string> renderTemplate(std::string_view text, const TemplateValues& values);

std::string htmlEscape(std::string_view text);

}  // namespace yhz::sim
