#include "net/address.h"

#include <climits>

#include "text/gbk_text.h"
#include "text/text_cut.h"

namespace yhz {

std::string addressHost(std::string_view address, bool keepPort) {
    std::string lower = toLowerAscii(address);
    if (lower.empty() || lower.back() != '/') {
        lower += '/';
    }
    std::string host;
    if (lower.compare(0, 8, "https://") == 0) {
        host = textBetween(lower, "https://", "/");
    } else {
        if (findText(lower, "http://") < 1) {
            lower.insert(0, "http://");
        }
        host = textBetween(lower, "http://", "/");
    }
    if (keepPort) {
        return host;
    }
    const long colon = findText(host, ":");
    return colon > 0 ? host.substr(0, static_cast<size_t>(colon - 1)) : host;
}

int addressPort(std::string_view address) {
    const std::string host = addressHost(address, true);
    if (findText(host, ":") > 0) {
        const std::string digits = textAfterLast(host, ":");
        // Leading digits only; a value past the int range saturates instead of
        // overflowing.
        long value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') {
                break;
            }
            value = value * 10 + (c - '0');
            if (value > INT_MAX) {
                return INT_MAX;
            }
        }
        return static_cast<int>(value);
    }
    return toLowerAscii(address.substr(0, 5)) == "https" ? 443 : 80;
}

std::string addressPath(std::string_view address) {
    const std::string host = addressHost(address, false);
    const long hostAt = findText(address, host, 1, Case::Insensitive);
    const long slash = hostAt > 0 ? findText(address, "/", hostAt) : -1;
    if (slash < 1) {
        return "/";
    }
    return std::string(address.substr(static_cast<size_t>(slash - 1)));
}

}  // namespace yhz
