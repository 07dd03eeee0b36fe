#include "net/http_client.h"

#include <curl/curl.h>

#include <memory>
#include <stop_token>
#include <vector>

#include "net/address.h"
#include "net/connection_pool.h"
#include "net/curl_globals.h"
#include "net/request_text.h"
#include "net/stoppable_transfer.h"
#include "net/transfer_callbacks.h"
#include "platform/files.h"
#include "text/gbk_text.h"

// One request or download: its handle set up from the caller's arguments,
// run through the stoppable transfer, its reply read back. The pieces live
// beside it: process-wide state (curl_globals), callbacks
// (transfer_callbacks), the transfer loop (stoppable_transfer), header and
// path text (request_text), kept connections (connection_pool).

namespace yhz {
namespace {

using namespace http_internal;

constexpr long kMaxRedirects = 20;

// Bounds, redirect rules and TLS checks that every transfer shares. `ca`
// must outlive the transfer.
void setTransport(CURL* h, const HttpLimits& limits, bool secure, const std::string& ca) {
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME,
                     std::max(1L, static_cast<long>(limits.stallTimeout.count() / 1000)));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));

    // Redirects, where followed: a secure request is never redirected to
    // plain http.
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");

    // TLS peers are always verified.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!ca.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, ca.c_str());
        curl_easy_setopt(h, CURLOPT_CAPATH, nullptr);
    }
}

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

bool appendHeader(HeaderList& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown == nullptr) {
        return false;
    }
    (void)list.release();
    list.reset(grown);
    return true;
}

}  // namespace

HttpClient HttpClient::keepingConnections(HttpLimits limits) {
    HttpClient client(limits);
    client.connections_ = std::make_shared<ConnectionPool>();
    return client;
}

HttpClient HttpClient::withLimits(HttpLimits limits) const {
    HttpClient client(*this);
    client.limits_ = limits;
    return client;
}

std::string HttpClient::webRequest(std::string_view address, WebRequestArgs args) const {
    Globals& g = globals();

    int method = args.method.value_or(kGet);
    if (method < 0 || method > 7) {
        method = kGet;
    }
    const bool secure = toLowerAscii(address.substr(0, 8)) == "https://";
    const bool cookieSupplied = args.cookieText != nullptr;
    const bool noRedirect = args.noRedirect.value_or(false);
    const bool merge = args.mergeCookies.value_or(true);
    const std::string proxyText = args.proxy.value_or("");
    const std::string formText = args.formText.value_or("");
    std::string headerText = args.headerText != nullptr ? *args.headerText : std::string();
    std::string body = args.bodyBytes != nullptr ? *args.bodyBytes : std::string();

    const std::string agent = cutAtLineBreak(http_detail::agentFor(headerText));

    EasyHandle handle(curl_easy_init());
    if (!handle) {
        return {};
    }
    CURL* h = handle.get();

    const std::string origin = requestOrigin(address);
    const std::string url = origin + encodePath(addressPath(address));

    headerText = http_detail::completeHeaders(std::move(headerText), method, address,
                                              cookieSupplied ? *args.cookieText : "");
    if (args.headerText != nullptr) {
        *args.headerText = headerText;
    }
    if (method != kGet && body.empty()) {
        body = formText;
        if (args.bodyBytes != nullptr) {
            *args.bodyBytes = body;
        }
    }

    const std::vector<std::string> lines = headerLines(headerText);
    HeaderList list;
    bool listOk = true;
    for (const std::string& line : lines) {
        listOk = listOk && appendHeader(list, line);
    }
    // libcurl would add these on its own; the request carries only the lines
    // of the header text.
    listOk = listOk && appendHeader(list, "Expect:");
    if (method != kGet && !hasHeaderLine(lines, "content-type:")) {
        listOk = listOk && appendHeader(list, "Content-Type:");
    }
    if (!listOk) {
        return {};
    }

    Transfer transfer;
    transfer.limits = &limits_;

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, list.get());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    const std::string ca = caBundle();
    setTransport(h, limits_, secure, ca);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, noRedirect ? 0L : 1L);

    // An empty proxy text also keeps proxy variables of the environment out.
    std::string proxy;
    if (!proxyText.empty()) {
        proxy = http_detail::proxyForScheme(secure ? proxyText : "http=" + proxyText,
                                            secure ? "https" : "http");
    }
    curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

    if (!cookieSupplied && g.cookies.share() != nullptr) {
        curl_easy_setopt(h, CURLOPT_SHARE, g.cookies.share());
        curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");
    } else if (connections_ != nullptr && connections_->sessions() != nullptr) {
        // A handle holds one share; calls without cookie text need the engine's.
        curl_easy_setopt(h, CURLOPT_SHARE, connections_->sessions());
    }

    if (method == kGet) {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    } else {
        if (method == kHead) {
            // No reply body is read for HEAD; the request body is still sent.
            curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
        }
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
        if (method != kPost) {
            curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, kMethodNames[static_cast<size_t>(method)]);
        }
    }

    CURLcode rc = CURLE_FAILED_INIT;
    if (connections_ != nullptr) {
        // The connection stays with the lane, open for the next call there.
        const ConnectionPool::Loan lane = connections_->borrow(origin);
        rc = performStoppable(h, args.stop, lane.multi());
    } else {
        rc = performStoppable(h, args.stop);
    }
    const bool ok = rc == CURLE_OK && !transfer.overLimit;
    handle.reset();

    const std::string replyHeaders = ok ? std::move(transfer.headers) : std::string();
    if (args.replyHeaders != nullptr) {
        *args.replyHeaders = replyHeaders;
    }
    CookieJar received = collectSetCookies(replyHeaders);
    if (ok && !transfer.earlierCookies.empty()) {
        // Later answers win by name, as they would in a browser.
        CookieJar chain;
        for (CookieJar& hop : transfer.earlierCookies) {
            mergeCookies(chain, hop);
        }
        mergeCookies(chain, received);
        received = std::move(chain);
    }
    if (merge && cookieSupplied) {
        received = mergeCookies(*args.cookieText, received);
    }
    if (args.receivedCookies != nullptr) {
        *args.receivedCookies = received;
    }
    return ok ? std::move(transfer.body) : std::string();
}

int replyStatus(std::string_view replyHeaders) {
    const std::string_view line = replyHeaders.substr(0, replyHeaders.find("\r\n"));
    const size_t space = line.find(' ');
    if (line.substr(0, 5) != "HTTP/" || space == std::string_view::npos ||
        line.size() < space + 4) {
        return 0;
    }
    int status = 0;
    for (const char c : line.substr(space + 1, 3)) {
        if (c < '0' || c > '9') {
            return 0;
        }
        status = status * 10 + (c - '0');
    }
    return status;
}

DownloadResult HttpClient::download(std::string_view address, const std::string& filePath,
                                    DownloadArgs args) const {
    DownloadResult result;
    const bool secure = toLowerAscii(address.substr(0, 8)) == "https://";
    EasyHandle handle(curl_easy_init());
    if (!handle) {
        return result;
    }
    CURL* h = handle.get();
    HeaderList list;
    if (!appendHeader(list, "Accept: */*") || !appendHeader(list, "Expect:")) {
        return result;
    }
    const int fd = platform::openFile(filePath, platform::OpenMode::Write);
    if (fd < 0) {
        return result;
    }

    FileTransfer transfer;
    transfer.handle = h;
    transfer.limits = &limits_;
    transfer.args = &args;
    transfer.fd = fd;
    transfer.head.limits = &limits_;

    const std::string url = requestOrigin(address) + encodePath(addressPath(address));
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, kDefaultAgent.data());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, list.get());
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onFileBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer.head);
    const std::string ca = caBundle();
    setTransport(h, limits_, secure, ca);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    // No proxy, also none from the environment: the package comes from the
    // address the service named.
    curl_easy_setopt(h, CURLOPT_PROXY, "");

    const CURLcode rc = performStoppable(h, args.stop);
    if (!transfer.started) {
        long code = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
        transfer.status = static_cast<int>(code);
        curl_off_t length = -1;
        curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        transfer.announced = length;
    }
    // A body without a length is whole only when its chunked coding ended it.
    curl_header* coding = nullptr;
    const bool chunked =
        curl_easy_header(h, "Transfer-Encoding", 0, CURLH_HEADER, -1, &coding) == CURLHE_OK &&
        findText(coding->value, "chunked", 1, Case::Insensitive) > 0;
    handle.reset();
    const bool closed = platform::closeFile(fd);

    result.status = transfer.status;
    result.announced = transfer.announced;
    result.received = transfer.received;
    const bool whole = transfer.announced >= 0 ? transfer.received == transfer.announced : chunked;
    const bool complete = rc == CURLE_OK && closed && !transfer.refused && !transfer.writeFailed &&
                          !transfer.head.overLimit && transfer.status == 200 && whole;
    if (complete) {
        result.outcome = DownloadOutcome::Complete;
        return result;
    }
    platform::removeFile(filePath);
    result.outcome =
        args.stop.stop_requested() ? DownloadOutcome::Stopped : DownloadOutcome::Failed;
    return result;
}

}  // namespace yhz
