#include "json/string_text.h"

namespace yhz::json {
namespace {

bool escapedCodePoint(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xAD || (cp >= 0x600 && cp <= 0x604) ||
           cp == 0x70F || cp == 0x17B4 || cp == 0x17B5 || (cp >= 0x200C && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202F) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF ||
           (cp >= 0xFFF0 && cp <= 0xFFFF);
}

}  // namespace

void appendJsString(std::string& out, std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t len = 1;
        char32_t cp = b;
        if (b >= 0xF0 && i + 3 < s.size()) {
            len = 4;
            cp = ((b & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
        } else if (b >= 0xE0 && i + 2 < s.size()) {
            len = 3;
            cp = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
        } else if (b >= 0xC0 && i + 1 < s.size()) {
            len = 2;
            cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
        }
        switch (cp) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (escapedCodePoint(cp)) {
                    out += "\\u";
                    for (int shift = 12; shift >= 0; shift -= 4) {
                        out += kHex[(cp >> shift) & 0xFu];
                    }
                } else {
                    out.append(s, i, len);
                }
        }
        i += len;
    }
    out += '"';
}

}  // namespace yhz::json
