#include "demo/site_sim/html_template.h"

namespace yhz::sim {

namespace {

constexpr std::string_view kOpen = "{{";
constexpr std::string_view kClose = "}}";

const std::string* lookUp(std::string_view name, const TemplateValues& values,
                          const TemplateValues::Fields* row) {
    if (row) {
        if (auto it = row->find(name); it != row->end())
            return &it->second;
    }
    if (auto it = values.fields.find(name); it != values.fields.end())
        return &it->second;
    return nullptr;
}

bool render(std::string_view text, const TemplateValues& values, const TemplateValues::Fields* row,
            std::string& out) {
    while (!text.empty()) {
        const std::size_t open = text.find(kOpen);
        if (open == std::string_view::npos) {
            out += text;
            return true;
        }
        out += text.substr(0, open);
        const std::size_t close = text.find(kClose, open + kOpen.size());
        if (close == std::string_view::npos)
            return false;
        const std::string_view name = text.substr(open + kOpen.size(), close - open - kOpen.size());
        text.remove_prefix(close + kClose.size());
        if (name.empty() || name.front() == '/')
            return false;
        if (name.front() != '#') {
            const std::string* value = lookUp(name, values, row);
            if (!value)
                return false;
            out += htmlEscape(*value);
            continue;
        }
        const std::string_view listName = name.substr(1);
        const std::string end =
            std::string(kOpen) + "/" + std::string(listName) + std::string(kClose);
        const std::size_t sectionEnd = text.find(end);
        auto list = values.lists.find(listName);
        if (sectionEnd == std::string_view::npos || list == values.lists.end())
            return false;
        const std::string_view section = text.substr(0, sectionEnd);
        for (const TemplateValues::Fields& item : list->second) {
            if (!render(section, values, &item, out))
                return false;
        }
        text.remove_prefix(sectionEnd + end.size());
    }
    return true;
}

}  // namespace

std::optional<std::string> renderTemplate(std::string_view text, const TemplateValues& values) {
    std::string out;
    out.reserve(text.size() * 2);
    if (!render(text, values, nullptr, out))
        return std::nullopt;
    return out;
}

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace yhz::sim
