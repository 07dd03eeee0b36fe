#include "text/encoding.h"

#include <array>
#include <cstdint>
#include <vector>

#include "platform/code_page.h"
#include "text/gbk_text.h"

namespace yhz {
namespace {

// Decodes UTF-8 into code points; each maximal invalid subpart becomes U+FFFD,
// as the Windows converter does.
std::vector<char32_t> decodeUtf8(std::string_view bytes) {
    std::vector<char32_t> cps;
    cps.reserve(bytes.size());
    size_t i = 0;
    const size_t n = bytes.size();
    auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    while (i < n) {
        const unsigned char b = at(i);
        if (b < 0x80) {
            cps.push_back(b);
            ++i;
            continue;
        }
        size_t need = 0;
        char32_t cp = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1Fu;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0Fu;
            if (b == 0xE0)
                lo = 0xA0;
            if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07u;
            if (b == 0xF0)
                lo = 0x90;
            if (b == 0xF4)
                hi = 0x8F;
        } else {
            cps.push_back(0xFFFD);
            ++i;
            continue;
        }
        size_t k = 1;
        for (; k <= need; ++k) {
            if (i + k >= n) {
                break;
            }
            const unsigned char c = at(i + k);
            if (c < lo || c > hi) {
                break;
            }
            lo = 0x80;
            hi = 0xBF;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (k <= need) {
            cps.push_back(0xFFFD);
            i += k;
            continue;
        }
        cps.push_back(cp);
        i += need + 1;
    }
    return cps;
}

}  // namespace

std::string localToUtf8(std::string_view text) {
    return platform::gbkToUtf8(textUpToZero(text));
}

std::string utf8ToLocal(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    const std::vector<char32_t> cps = decodeUtf8(bytes);
    return textUpToZero(platform::codePointsToGbk(std::u32string_view(cps.data(), cps.size())));
}

std::string urlEncode(std::string_view text, bool keepUnreserved, bool asUtf8) {
    if (text.empty()) {
        return {};
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string bytes = asUtf8 ? localToUtf8(text) : std::string(text);
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        const bool unreserved = b == '-' || b == '.' || (b >= '0' && b <= '9') ||
                                (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        if (keepUnreserved && unreserved) {
            out += ch;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out;
}

std::string base64Decode(std::string_view text, bool stripZeros) {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string clean =
        replaceAll(replaceAll(replaceAll(text, " ", ""), "\xA1\xA1", ""), "\r\n", "");
    const size_t groups = clean.size() / 4 + (clean.size() % 4 != 0 ? 1 : 0);
    std::string out;
    out.reserve(groups * 3);
    std::array<unsigned, 4> v{0, 0, 0, 0};
    size_t stoppedAt = 0;  // 1-based position of the character that ended the last group
    for (size_t g = 0; g < groups; ++g) {
        stoppedAt = 0;
        for (size_t k = 0; k < 4; ++k) {
            const size_t pos = g * 4 + k;
            if (pos >= clean.size()) {
                v[k] = 0;
                continue;
            }
            const size_t value = kAlphabet.find(clean[pos]);
            if (value == std::string_view::npos) {
                stoppedAt = k + 1;
                break;
            }
            v[k] = static_cast<unsigned>(value);
        }
        out += static_cast<char>((v[0] * 4 + v[1] / 16) & 0xFF);
        out += static_cast<char>((v[1] * 16 + v[2] / 4) % 256);
        out += static_cast<char>((v[2] * 64 + v[3]) % 256);
    }
    if (stoppedAt > 0) {
        out.erase(out.size() - std::min(out.size(), 5 - stoppedAt));
    }
    if (stripZeros) {
        while (!out.empty() && out.back() == '\0') {
            out.pop_back();
        }
    }
    return out;
}

}  // namespace yhz
