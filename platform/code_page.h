#pragma once
// The system's converters between GBK (code page 936) and Unicode: iconv's
// CP936 on Linux, MultiByteToWideChar and WideCharToMultiByte on Windows.
// Both map alike: a byte that starts no valid GBK character, and a character
// GBK cannot hold, become "?".

#include <string>
#include <string_view>

namespace yhz::platform {

// UTF-8 of GBK bytes, all of them (zero bytes included).
std::string gbkToUtf8(std::string_view gbk);

// GBK of Unicode code points, each one a valid scalar value.
std::string codePointsToGbk(std::u32string_view codePoints);

}  // namespace yhz::platform
