#include "json/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace yhz::json {

void appendJsNumber(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    if (v == 0) {
        out += '0';
        return;
    }
    // The shortest round-trip digits and their exponent, then placed by the
    // engine's rules.
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    std::string_view sci(buf, static_cast<size_t>(r.ptr - buf));
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    const size_t e = sci.find('e');
    std::string digits;
    for (const char c : sci.substr(0, e)) {
        if (c != '.') {
            digits += c;
        }
    }
    int exponent = 0;
    std::string_view expText = sci.substr(e + 1);
    if (!expText.empty() && expText.front() == '+') {
        expText.remove_prefix(1);
    }
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
    const int k = static_cast<int>(digits.size());
    const int n = exponent + 1;
    if (k <= n && n <= 21) {
        out += digits;
        out.append(static_cast<size_t>(n - k), '0');
    } else if (0 < n && n <= 21) {
        out.append(digits, 0, static_cast<size_t>(n));
        out += '.';
        out.append(digits, static_cast<size_t>(n));
    } else if (-6 < n && n <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-n), '0');
        out += digits;
    } else {
        out += digits[0];
        if (k > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += n - 1 >= 0 ? "e+" : "e-";
        out += std::to_string(std::abs(n - 1));
    }
}

std::string formatG13(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 13);
    return std::string(buf, r.ptr);
}

double numberFromText(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return 0;
    }
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() ? v : 0;
}

}  // namespace yhz::json
