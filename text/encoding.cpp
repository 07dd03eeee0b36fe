#include "text/encoding.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "text/gbk_text.h"

namespace yhz {
namespace {

// One iconv descriptor per thread and direction: opening one costs more than
// converting a short text, and a descriptor must not be shared between threads.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts `in`; a unit that cannot be converted is replaced by "?" and
    // skipped by `skipOnError` bytes.
    std::string run(std::string_view in, size_t skipOnError) {
        std::string out;
        if (!valid() || in.empty()) {
            return out;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.reserve(in.size() * 2);
        std::array<char, 4096> buffer{};
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        while (srcLeft > 0) {
            char* dst = buffer.data();
            size_t dstLeft = buffer.size();
            const size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer.data(), buffer.size() - dstLeft);
            if (rc != static_cast<size_t>(-1)) {
                continue;
            }
            if (errno == E2BIG) {
                continue;
            }
            // EILSEQ or EINVAL (a truncated sequence at the end).
            out += '?';
            const size_t skip = std::min(skipOnError, srcLeft);
            src += skip;
            srcLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

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
    thread_local Converter toUtf8("UTF-8", "CP936");
    const std::string gbkText = textUpToZero(text);
    // An invalid GBK pair is skipped one byte at a time, like the lead byte
    // alone would be on Windows.
    return toUtf8.run(gbkText, 1);
}

std::string utf8ToLocal(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    thread_local Converter toGbk("CP936", "UTF-32LE");
    const std::vector<char32_t> cps = decodeUtf8(bytes);
    std::string utf32;
    utf32.resize(cps.size() * 4);
    for (size_t k = 0; k < cps.size(); ++k) {
        const auto v = static_cast<uint32_t>(cps[k]);
        utf32[4 * k] = static_cast<char>(v & 0xFF);
        utf32[4 * k + 1] = static_cast<char>((v >> 8) & 0xFF);
        utf32[4 * k + 2] = static_cast<char>((v >> 16) & 0xFF);
        utf32[4 * k + 3] = static_cast<char>((v >> 24) & 0xFF);
    }
    // Every code point is valid here, so a failure means GBK cannot hold it.
    return textUpToZero(toGbk.run(utf32, 4));
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
