#include <windows.h>

#include "platform/code_page.h"

namespace yhz::platform {
namespace {

constexpr UINT kGbk = 936;

// Appends the UTF-16 of `in` to `out`; false, with nothing appended, when a
// byte of it is no valid GBK.
bool appendWide(std::string_view in, std::wstring& out) {
    if (in.empty()) {
        return true;
    }
    const int size = static_cast<int>(in.size());
    const int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
    if (n <= 0) {
        return false;
    }
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, in.data(), size, out.data() + at, n);
    return true;
}

std::string utf8Of(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), n, nullptr, nullptr);
    }
    return out;
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
    std::wstring wide;
    if (appendWide(gbk, wide)) {
        return utf8Of(wide);
    }
    // Character by character: a byte that starts no valid character becomes
    // "?" and the next byte starts afresh.
    wide.clear();
    size_t at = 0;
    while (at < gbk.size()) {
        if (static_cast<unsigned char>(gbk[at]) < 0x80) {
            wide += static_cast<wchar_t>(gbk[at]);
            ++at;
        } else if (at + 1 < gbk.size() && appendWide(gbk.substr(at, 2), wide)) {
            at += 2;
        } else if (appendWide(gbk.substr(at, 1), wide)) {
            ++at;  // the one single-byte character above ASCII, the euro sign
        } else {
            wide += L'?';
            ++at;
        }
    }
    return utf8Of(wide);
}

std::string codePointsToGbk(std::u32string_view codePoints) {
    std::wstring wide;
    wide.reserve(codePoints.size());
    for (const char32_t cp : codePoints) {
        // A character outside the basic plane is one "?", as iconv makes it.
        wide += cp > 0xFFFF ? wchar_t{0xFFFD} : static_cast<wchar_t>(cp);
    }
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    // No best fit: a character GBK does not hold becomes "?", not a look-alike.
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int n = WideCharToMultiByte(kGbk, flags, wide.data(), size, nullptr, 0, "?", nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(kGbk, flags, wide.data(), size, out.data(), n, "?", nullptr);
    }
    return out;
}

}  // namespace yhz::platform
