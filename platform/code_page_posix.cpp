#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>

#include "platform/code_page.h"

namespace yhz::platform {
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

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
    thread_local Converter toUtf8("UTF-8", "CP936");
    // An invalid GBK pair is skipped one byte at a time, like the lead byte
    // alone would be on Windows.
    return toUtf8.run(gbk, 1);
}

std::string codePointsToGbk(std::u32string_view codePoints) {
    thread_local Converter toGbk("CP936", "UTF-32LE");
    std::string utf32;
    utf32.resize(codePoints.size() * 4);
    for (size_t k = 0; k < codePoints.size(); ++k) {
        const auto v = static_cast<uint32_t>(codePoints[k]);
        utf32[4 * k] = static_cast<char>(v & 0xFF);
        utf32[4 * k + 1] = static_cast<char>((v >> 8) & 0xFF);
        utf32[4 * k + 2] = static_cast<char>((v >> 16) & 0xFF);
        utf32[4 * k + 3] = static_cast<char>((v >> 24) & 0xFF);
    }
    // Every code point is valid here, so a failure means GBK cannot hold it.
    return toGbk.run(utf32, 4);
}

}  // namespace yhz::platform
