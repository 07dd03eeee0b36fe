// Set-Cookie collection and cookie-text merging on arbitrary bytes. The input
// is split at its first two zero bytes into a header text, an older and a
// newer cookie text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "fuzz/fuzz_check.h"
#include "net/cookies.h"
#include "text/gbk_text.h"

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
    const std::string_view header = takePart(rest);
    std::string older(takePart(rest));
    std::string newer(rest);

    const yhz::CookieJar collected = yhz::collectSetCookies(header);
    check(collected.size() <= header.size());

    const yhz::CookieJar merged = yhz::mergeCookies(older, newer);
    check(merged == older);
    check(yhz::findText(newer, " ") < 1);
    // No deletion mark and no repeated item survives a merge.
    std::unordered_set<std::string> seen;
    for (const std::string& item : yhz::splitText(merged, "; ")) {
        check(item.size() < 8 || item.substr(item.size() - 8) != "=deleted");
        check(seen.insert(item).second);
    }

    std::string fromReply = collected;
    yhz::mergeCookies(older, fromReply);
    return 0;
}
