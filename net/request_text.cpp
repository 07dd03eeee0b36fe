#include "net/request_text.h"

#include "net/address.h"
#include "net/http_client.h"
#include "text/gbk_text.h"
#include "text/text_cut.h"

namespace yhz {
namespace http_internal {

bool hasHeaderLine(const std::vector<std::string>& lines, std::string_view name) {
    for (const std::string& line : lines) {
        if (line.size() >= name.size() && toLowerAscii(line.substr(0, name.size())) == name) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> headerLines(std::string_view headerText) {
    std::vector<std::string> lines;
    for (std::string& piece : splitText(replaceAll(headerText, "\r\n", "\n"), "\n")) {
        while (!piece.empty() && piece.back() == '\r') {
            piece.pop_back();
        }
        if (!piece.empty()) {
            lines.push_back(std::move(piece));
        }
    }
    return lines;
}

std::string encodePath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char ch : path) {
        const auto b = static_cast<unsigned char>(ch);
        if (b <= 0x20 || b >= 0x7F) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string cutAtLineBreak(std::string text) {
    const size_t at = text.find_first_of("\r\n");
    if (at != std::string::npos) {
        text.resize(at);
    }
    return text;
}

std::string requestOrigin(std::string_view address) {
    const bool secure = toLowerAscii(address.substr(0, 8)) == "https://";
    return std::string(secure ? "https://" : "http://") + toLowerAscii(addressHost(address)) + ":" +
           std::to_string(addressPort(address));
}

}  // namespace http_internal

namespace http_detail {

using http_internal::kPost;

std::string agentFor(std::string_view headerText) {
    if (findText(headerText, "User-Agent:", 1, Case::Insensitive) < 1) {
        return std::string(HttpClient::kDefaultAgent);
    }
    std::string agent =
        trimSpaces(textBetween(std::string(headerText) + "\r\n", "User-Agent:", "\r\n"));
    if (agent.empty()) {
        const long colon = findText(headerText, ":");
        agent = colon > 0 ? trimSpaces(headerText.substr(static_cast<size_t>(colon))) : "";
    }
    return agent;
}

std::string completeHeaders(std::string headerText, int method, std::string_view address,
                            std::string_view cookieText) {
    auto holds = [&](std::string_view marker) { return findText(headerText, marker) > 0; };
    if (headerText.empty()) {
        headerText = "Accept: */*";
    } else if (!holds("Accept:")) {
        headerText += "\r\nAccept: */*";
    }
    if (!holds("Referer:")) {
        headerText += "\r\nReferer: ";
        headerText += address;
    }
    if (!holds("Accept-Language:")) {
        headerText += "\r\nAccept-Language: zh-cn";
    }
    if (method == kPost && !holds("Content-Type:")) {
        headerText += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    if (!cookieText.empty()) {
        headerText += findText(cookieText, "Cookie:") > 0 ? "\r\n" : "\r\nCookie: ";
        headerText += cookieText;
    }
    return headerText;
}

std::string proxyForScheme(std::string_view proxyList, std::string_view scheme) {
    std::string fallback;
    const std::string list = replaceAll(proxyList, ";", " ");
    for (const std::string& entry : splitText(list, " ")) {
        if (entry.empty()) {
            continue;
        }
        const long eq = findText(entry, "=");
        if (eq < 1) {
            if (fallback.empty()) {
                fallback = entry;
            }
            continue;
        }
        if (toLowerAscii(entry.substr(0, static_cast<size_t>(eq - 1))) == scheme) {
            return entry.substr(static_cast<size_t>(eq));
        }
    }
    return fallback;
}

}  // namespace http_detail

}  // namespace yhz
