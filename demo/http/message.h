#pragma once
// A request as the handlers of the demo programs see it (read whole and
// bounded before any handler runs) and the reply they fill in. Plain types:
// the handlers never see the engine underneath.

#include <chrono>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace yhz::web {

using Fields = std::vector<std::pair<std::string, std::string>>;

struct Request {
    std::string method;  // as sent: "GET", "POST", ...
    std::string target;  // path and query, as sent
    std::string path;    // the target without its query
    Fields headers;      // in the order sent
    std::string body;
    std::string remoteAddress;  // numeric

    // The first value of that header (case-insensitive); "" when absent.
    std::string header(std::string_view name) const;
    // The query's parameters, percent-decoded ("+" a space), as a browser
    // sends them; a piece without "=" is a name with an empty value, and a
    // broken escape is kept as it is.
    std::size_t queryCount(std::string_view name) const;
    std::string queryValue(std::string_view name) const;
};

// A body sent from a file in pieces, so that a large one never sits in
// memory whole.
struct FileSlice {
    std::shared_ptr<std::istream> file;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct Response {
    int status = 200;
    Fields headers;
    std::string body;
    // When set, the body comes from here instead of `body`.
    std::shared_ptr<FileSlice> file;

    // A reply that is not ready yet, such as one that waits for an
    // upstream: the engine waits `delay` on a timer, holding no thread, and
    // then has `then` fill in the reply on a handler thread (it may defer
    // again). When the connection ends first, `then` is dropped unrun, and
    // with it whatever it holds.
    struct Deferred {
        std::chrono::milliseconds delay{0};
        std::function<void(Response&)> then;
    };
    std::shared_ptr<Deferred> deferred;

    // Replaces any header of that name (case-insensitive).
    void setHeader(std::string_view name, std::string value);
    const std::string* header(std::string_view name) const;
    void setContent(std::string content, std::string contentType);
    void setFile(FileSlice slice, std::string contentType);
    void redirect(std::string location);  // 302
    void defer(std::chrono::milliseconds delay, std::function<void(Response&)> then);
    std::uint64_t bodySize() const { return file ? file->length : body.size(); }
};

// Case-insensitive equality of header names and tokens.
bool sameText(std::string_view a, std::string_view b);

}  // namespace yhz::web
