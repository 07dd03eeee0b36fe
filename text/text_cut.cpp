#include "text/text_cut.h"

#include "text/gbk_text.h"

namespace yhz {
namespace {
// "#引号" in GBK.
constexpr std::string_view kQuoteToken = "#\xD2\xFD\xBA\xC5";
}  // namespace

std::string textBefore(std::string_view text, std::string_view marker) {
    const long at = findText(text, marker);
    if (at < 1) {
        return {};
    }
    return std::string(text.substr(0, static_cast<size_t>(at - 1)));
}

std::string textBetween(std::string_view text, std::string_view left, std::string_view right) {
    const std::string l = replaceAll(left, kQuoteToken, "\"");
    const std::string r = replaceAll(right, kQuoteToken, "\"");
    const long leftAt = findText(text, l);
    if (leftAt < 1) {
        return {};
    }
    const long valueAt = leftAt + static_cast<long>(l.size());
    const long rightAt = findText(text, r, valueAt);
    if (rightAt < 1) {
        return {};
    }
    return std::string(
        text.substr(static_cast<size_t>(valueAt - 1), static_cast<size_t>(rightAt - valueAt)));
}

std::string textAfterLast(std::string_view text, std::string_view marker) {
    const long at = findLastText(text, marker);
    if (at < 1) {
        return {};
    }
    return std::string(text.substr(static_cast<size_t>(at - 1) + marker.size()));
}

}  // namespace yhz
