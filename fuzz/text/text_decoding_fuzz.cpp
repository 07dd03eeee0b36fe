// Decoding of imported text files on arbitrary bytes. The first byte picks
// where the rest is cut into two blocks; cutting must never change the text,
// and no zero byte may come out.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "text/text_decoding.h"

using yhz::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t cut = bytes.empty() ? 0 : data[0] % (bytes.size() + 1);

    const std::string whole = yhz::decodeToGbk(bytes);
    check(whole.find('\0') == std::string::npos);

    for (const auto from : {yhz::TextEncoding::Gbk, yhz::TextEncoding::Utf8,
                            yhz::TextEncoding::Utf16Le, yhz::TextEncoding::Utf16Be}) {
        const std::string once = yhz::GbkDecoder(from).decode(bytes, true);
        yhz::GbkDecoder decoder(from);
        std::string pieces = decoder.decode(bytes.substr(0, cut), false);
        pieces += decoder.decode(bytes.substr(cut), true);
        check(pieces == once);
        check(once.find('\0') == std::string::npos);
    }
    return 0;
}
