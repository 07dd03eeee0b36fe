#pragma once
// Cutting values out of texts, double-byte aware (see gbk_text.h).

#include <string>
#include <string_view>

namespace yhz {

// Bytes before the first occurrence of `marker`; "" when it does not occur.
std::string textBefore(std::string_view text, std::string_view marker);

// Bytes between the first `left` and the first `right` after it; "" when
// either is missing. In both markers the token "#引号" stands for a double quote.
std::string textBetween(std::string_view text, std::string_view left, std::string_view right);

// Bytes after the last occurrence of `marker`; "" when it does not occur.
std::string textAfterLast(std::string_view text, std::string_view marker);

}  // namespace yhz
