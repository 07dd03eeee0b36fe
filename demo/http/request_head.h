#pragma once
// The head of a request (request line and header lines) as the demo servers'
// front reads it off the wire: found and bounded before anything else sees
// it, then handed to the request handlers in one plain form, so that the
// front and the handlers can never disagree about where a request ends.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace yhz::web {

// Spaces and tabs gone from both ends, as header values are read.
std::string_view trimmed(std::string_view text);
// Plain decimal digits only, at most 18 of them; nullopt for anything else.
std::optional<std::uint64_t> decimal(std::string_view text);

struct HeadLimits {
    std::size_t maxBytes = 16 * 1024;  // request line, header lines and the empty line
    std::size_t maxLines = 100;        // header lines
    std::size_t maxLineBytes = 8192;   // any one line, the request line included
};

enum class HeadScan {
    Incomplete,  // no empty line yet, and nothing over a limit
    Complete,
    TooLarge,    // a header line, the line count or the whole over its limit
    UriTooLong,  // the request line over the line limit
};

struct HeadExtent {
    HeadScan state = HeadScan::Incomplete;
    std::size_t size = 0;  // when Complete: bytes up to and including the empty line
};

// Looks for the end of the head at the start of a buffer that grows as
// bytes arrive, resuming where the last look stopped, so that a client that
// sends one byte at a time costs no more than one that sends all at once.
// Lines end in LF, with or without CR before it.
class HeadScanner {
public:
    explicit HeadScanner(HeadLimits limits) : limits_(limits) {}
    // `bytes` is the whole buffer, the bytes of earlier calls first.
    HeadExtent scan(std::string_view bytes);
    // For the next request's head, which starts at the front of the buffer.
    void reset();

private:
    HeadLimits limits_;
    std::size_t lineStart_ = 0;
    std::size_t searched_ = 0;  // no line end in [lineStart_, searched_)
    std::size_t headerLines_ = 0;
};

struct RequestHead {
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> fields;

    // The first field of that name (case-insensitive); nullptr when absent.
    const std::string* field(std::string_view name) const;
    std::size_t count(std::string_view name) const;
    // The target without its query.
    std::string_view path() const;
};

// Reads a complete head as HeadScanner found it. nullopt when the request
// line or a header line is malformed (a folded line, a name with a space or
// a control character in a value among them).
std::optional<RequestHead> parseHead(std::string_view head);

enum class Framing {
    NoBody,
    Length,         // a body of `length` bytes follows
    TransferCoded,  // chunked or any other transfer coding: refused unread
    ContentCoded,   // a compressed body: refused, it could unpack to any size
    Invalid,        // an unreadable or contradictory Content-Length
};

struct BodyFraming {
    Framing kind = Framing::NoBody;
    std::uint64_t length = 0;
};

BodyFraming bodyFraming(const RequestHead& head);

// Whether the client waits for "100 Continue" before it sends the body.
bool expectsContinue(const RequestHead& head);

// The head the handlers see: the same request line and fields, one
// "Name: value" line each, without Expect (the front answers that itself).
std::string plainHead(const RequestHead& head);

}  // namespace yhz::web
