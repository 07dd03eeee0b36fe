// Address splitting and text cutting on arbitrary bytes. The input is split at
// its first two zero bytes into a text and the two markers of textBetween.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "net/address.h"
#include "text/text_cut.h"

namespace {

std::string_view takePart(std::string_view& rest) {
    const size_t zero = rest.find('\0');
    const std::string_view part = rest.substr(0, zero);
    rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
    return part;
}

using yhz::fuzz::check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view text = takePart(rest);
    const std::string_view left = takePart(rest);
    const std::string_view right = rest;

    const std::string host = yhz::addressHost(text);
    const std::string hostPort = yhz::addressHost(text, true);
    check(host.size() <= hostPort.size());
    check(yhz::addressPort(text) >= 0);
    const std::string path = yhz::addressPath(text);
    check(!path.empty() && path.front() == '/');

    const std::string between = yhz::textBetween(text, left, right);
    check(between.size() <= text.size());
    check(yhz::textBefore(text, left).size() <= text.size());
    check(yhz::textAfterLast(text, right).size() <= text.size());
    return 0;
}
