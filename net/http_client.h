#pragma once
// Every HTTP(S) exchange of the program: one complete request per call on its
// own libcurl handle, safe to call from any number of threads at once. A
// client made by keepingConnections() also keeps its connections open
// between calls, for all its copies and all their threads.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "net/cookies.h"

namespace yhz {

// The optional arguments of `webRequest`, in their order. An empty optional or
// a null pointer is "not supplied"; a pointer names a caller variable that the
// call reads and rewrites (in/out) or only writes (out).
struct WebRequestArgs {
    // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT;
    // any other value is GET.
    std::optional<int> method{};
    // Request body for every method except GET (when `bodyBytes` is empty).
    std::optional<std::string> formText{};
    // In/out. Supplying it (even "") turns the shared cookie engine off for the
    // call: exactly this text is sent, and with `mergeCookies` the reply's
    // cookies are merged into it.
    CookieJar* cookieText = nullptr;
    // Out: the cookies the reply set (after the merge when one ran).
    CookieJar* receivedCookies = nullptr;
    // In/out: extra request header lines separated by "\r\n"; receives the
    // completed header text that was sent.
    std::string* headerText = nullptr;
    // Out: status line and header lines of the final reply, each ending in
    // "\r\n"; "" when no reply arrived.
    std::string* replyHeaders = nullptr;
    std::optional<bool> noRedirect{};
    // In/out: request body as bytes; when empty for a method other than GET it
    // is filled from `formText`.
    std::string* bodyBytes = nullptr;
    // "host:port"; "" or not supplied means a direct connection.
    std::optional<std::string> proxy{};
    std::optional<bool> mergeCookies{};
    // A stop asked for while the call runs aborts the transfer within about
    // 100 ms; the call then returns empty bytes, as for any failure.
    std::stop_token stop{};
};

// Bounds that keep a call from hanging a worker or growing without end.
struct HttpLimits {
    std::chrono::milliseconds connectTimeout{15000};
    // A transfer that moves no byte for this long is given up.
    std::chrono::milliseconds stallTimeout{30000};
    // The whole exchange, connect to last byte: a peer that keeps sending a
    // byte now and then never trips the stall bound, but trips this one.
    std::chrono::milliseconds totalTimeout{60000};
    std::size_t maxBodyBytes = std::size_t{32} * 1024 * 1024;
    std::size_t maxHeaderBytes = std::size_t{1024} * 1024;
};

// The optional arguments of `download`.
struct DownloadArgs {
    // A stop asked for while the download runs aborts it within about 100 ms.
    std::stop_token stop{};
    // Called once on the downloading thread, before the first byte is
    // written, when the reply announces the length of its body.
    std::function<void(std::int64_t total)> onTotal{};
    // Called on the downloading thread after each piece written, with the
    // number of bytes in the file so far.
    std::function<void(std::int64_t received)> onReceived{};
};

enum class DownloadOutcome { Complete, Failed, Stopped };

struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::Failed;
    int status = 0;               // of the final reply; 0 when none arrived
    std::int64_t announced = -1;  // the length the reply announced; -1 when none
    std::int64_t received = 0;    // bytes written to the file
    bool complete() const { return outcome == DownloadOutcome::Complete; }
};

class ConnectionPool;

class HttpClient {
public:
    static constexpr std::string_view kDefaultAgent =
        "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

    HttpClient() = default;
    explicit HttpClient(HttpLimits limits) : limits_(limits) {}

    // The reply body; empty bytes when no complete reply was read (cannot
    // connect, TLS does not verify, stalled, over time, body over the limit,
    // stopped). An HTTP
    // error status is a reply: its body is returned.
    std::string webRequest(std::string_view address, WebRequestArgs args = {}) const;

    // GET of `address` into the file `filePath` (created, or emptied; a
    // symbolic link there is not followed). Complete only when the final
    // reply has status 200 and its whole body arrived and was written: as
    // long as the reply announced, or to the end of a chunked body. A body
    // that ends with the connection, without either, cannot be told from a
    // cut-short one and does not count. On any other outcome the file is
    // removed. `maxBodyBytes` of the limits bounds the file.
    DownloadResult download(std::string_view address, const std::string& filePath,
                            DownloadArgs args = {}) const;

    // Process-wide: the CA certificates (PEM file) that HTTPS peers must chain
    // to, instead of the system store. "" restores the system store.
    static void setCaBundle(std::string path);
    static std::string caBundle();

    // Forgets every cookie of the shared cookie engine (the one used by
    // requests that supply no cookie text).
    static void clearCookieEngine();

    // A client whose calls reuse its open connections: one handshake per
    // site instead of one per page or per plate. Calls that run at the same
    // time each use connections of their own; calls that bring their own
    // cookie text also share TLS sessions. Its copies share all of it; the
    // connections close with the last copy.
    static HttpClient keepingConnections(HttpLimits limits = {});

    // A copy with other bounds that keeps sharing this one's connections.
    HttpClient withLimits(HttpLimits limits) const;

    const HttpLimits& limits() const { return limits_; }

private:
    HttpLimits limits_;
    std::shared_ptr<ConnectionPool> connections_;
};

// The status code of a reply's header text ("HTTP/1.1 200 OK" -> 200); 0
// when it holds no status line.
int replyStatus(std::string_view replyHeaders);

// Pieces of a request that do not need the network; exposed for tests.
namespace http_detail {
// The agent the request announces, from the caller's header text.
std::string agentFor(std::string_view headerText);
// The header text completed with the program's default lines.
std::string completeHeaders(std::string headerText, int method, std::string_view address,
                            std::string_view cookieText);
// The proxy to use for one scheme ("http" or "https") from a proxy list of
// entries "scheme=host:port" or "host:port", separated by spaces or ";".
std::string proxyForScheme(std::string_view proxyList, std::string_view scheme);
}  // namespace http_detail

}  // namespace yhz
