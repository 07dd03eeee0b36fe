#include "demo/http/request_head.h"

#include <algorithm>
#include <cctype>

namespace yhz::web {

namespace {

bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool tokenChar(char c) {
    if (std::isalnum(static_cast<unsigned char>(c)))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (!tokenChar(c))
            return false;
    }
    return true;
}

// Visible bytes, spaces and tabs; anything from 0x80 up is passed as it is.
bool fieldValueChar(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte == '\t' || (byte >= 0x20 && byte != 0x7f);
}

}  // namespace

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::optional<std::uint64_t> decimal(std::string_view text) {
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

HeadExtent HeadScanner::scan(std::string_view bytes) {
    while (true) {
        const std::size_t end = bytes.find('\n', std::max(searched_, lineStart_));
        const bool requestLine = lineStart_ == 0;
        const std::size_t lineBytes =
            (end == std::string_view::npos ? bytes.size() : end + 1) - lineStart_;
        if (lineBytes > limits_.maxLineBytes)
            return {requestLine ? HeadScan::UriTooLong : HeadScan::TooLarge, 0};
        if (end == std::string_view::npos) {
            searched_ = bytes.size();
            return {bytes.size() > limits_.maxBytes ? HeadScan::TooLarge : HeadScan::Incomplete, 0};
        }
        if (end + 1 > limits_.maxBytes)
            return {HeadScan::TooLarge, 0};
        const std::string_view line = bytes.substr(lineStart_, end - lineStart_);
        lineStart_ = end + 1;
        // An empty first line ends a head too: one without a request line,
        // which the parser refuses.
        if (line.empty() || line == "\r")
            return {HeadScan::Complete, lineStart_};
        if (!requestLine && ++headerLines_ > limits_.maxLines)
            return {HeadScan::TooLarge, 0};
    }
}

void HeadScanner::reset() {
    lineStart_ = 0;
    searched_ = 0;
    headerLines_ = 0;
}

const std::string* RequestHead::field(std::string_view name) const {
    for (const auto& [key, value] : fields) {
        if (sameText(key, name))
            return &value;
    }
    return nullptr;
}

std::size_t RequestHead::count(std::string_view name) const {
    std::size_t n = 0;
    for (const auto& entry : fields) {
        if (sameText(entry.first, name))
            ++n;
    }
    return n;
}

std::string_view RequestHead::path() const {
    const std::string_view whole = target;
    return whole.substr(0, whole.find('?'));
}

std::optional<RequestHead> parseHead(std::string_view head) {
    std::vector<std::string_view> lines;
    std::size_t from = 0;
    while (from < head.size()) {
        std::size_t end = head.find('\n', from);
        if (end == std::string_view::npos)
            end = head.size();
        std::string_view line = head.substr(from, end - from);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        from = end + 1;
        if (line.empty())
            break;
        lines.push_back(line);
    }
    if (lines.empty())
        return std::nullopt;

    RequestHead result;
    const std::string_view requestLine = lines.front();
    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t lastSpace = requestLine.rfind(' ');
    if (firstSpace == std::string_view::npos || lastSpace == firstSpace)
        return std::nullopt;
    result.method = std::string(requestLine.substr(0, firstSpace));
    result.target = std::string(requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1));
    result.version = std::string(requestLine.substr(lastSpace + 1));
    if (!isToken(result.method) || result.target.empty() ||
        (result.version != "HTTP/1.1" && result.version != "HTTP/1.0")) {
        return std::nullopt;
    }
    for (char c : result.target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f)
            return std::nullopt;
    }

    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon)))
            return std::nullopt;
        const std::string_view value = trimmed(line.substr(colon + 1));
        for (char c : value) {
            if (!fieldValueChar(c))
                return std::nullopt;
        }
        result.fields.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    return result;
}

BodyFraming bodyFraming(const RequestHead& head) {
    if (head.count("Transfer-Encoding") != 0)
        return {Framing::TransferCoded, 0};
    std::optional<std::uint64_t> length;
    for (const auto& [key, value] : head.fields) {
        if (!sameText(key, "Content-Length"))
            continue;
        std::optional<std::uint64_t> n = decimal(value);
        if (!n || (length && *length != *n))
            return {Framing::Invalid, 0};
        length = n;
    }
    if (!length || *length == 0)
        return {Framing::NoBody, 0};
    for (const auto& [key, value] : head.fields) {
        if (sameText(key, "Content-Encoding") && !sameText(value, "identity"))
            return {Framing::ContentCoded, *length};
    }
    return {Framing::Length, *length};
}

bool expectsContinue(const RequestHead& head) {
    const std::string* expect = head.field("Expect");
    return expect && sameText(*expect, "100-continue") && head.version == "HTTP/1.1";
}

std::string plainHead(const RequestHead& head) {
    std::string text = head.method + " " + head.target + " " + head.version + "\r\n";
    for (const auto& [key, value] : head.fields) {
        if (sameText(key, "Expect"))
            continue;
        text += key;
        text += ": ";
        text += value;
        text += "\r\n";
    }
    text += "\r\n";
    return text;
}

}  // namespace yhz::web
