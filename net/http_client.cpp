#include "net/http_client.h"

#include <curl/curl.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <stop_token>
#include <vector>

#include "net/address.h"
#include "net/connection_pool.h"
#include "net/curl_share.h"
#include "platform/files.h"
#include "text/gbk_text.h"
#include "text/text_cut.h"

namespace yhz {
namespace {

constexpr std::array<const char*, 8> kMethodNames = {"GET",     "POST",   "HEAD",  "PUT",
                                                     "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int kGet = 0;
constexpr int kPost = 1;
constexpr int kHead = 2;
constexpr long kMaxRedirects = 20;

// --- process-wide state ------------------------------------------------------

// The cookie engine shared by every request that brings no cookie text. Only
// cookies are shared: connections stay with the handle (and the thread) that
// opened them.
class CookieEngine : public CurlShare {
public:
    CookieEngine() : CurlShare({CURL_LOCK_DATA_COOKIE}) {}
};

struct Globals {
    CookieEngine cookies;
    std::shared_mutex caMutex;
    std::string caBundle;
};

// Created on first use and never destroyed: worker threads may still be in a
// request while the process exits.
Globals& globals() {
    static Globals* g = [] {
#ifdef SIGPIPE  // Windows has no such signal
        std::signal(SIGPIPE, SIG_IGN);
#endif
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return new Globals();
    }();
    return *g;
}

// --- per-call transfer state -------------------------------------------------

struct Transfer {
    const HttpLimits* limits = nullptr;
    std::string body;
    // Header lines of the response being received; a new status line starts
    // a new block, so after a redirect chain only the final answer is left.
    std::string headers;
    // The cookies each earlier answer of a redirect chain set, in chain
    // order: a hop that sets the session must not lose it.
    std::vector<CookieJar> earlierCookies;
    bool overLimit = false;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    // Counted here because the size limit option is only checked against a
    // declared length.
    if (t->body.size() + n > t->limits->maxBodyBytes) {
        t->overLimit = true;
        return 0;
    }
    t->body.append(data, n);
    return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (line.substr(0, 5) == "HTTP/") {
        CookieJar set = collectSetCookies(t->headers);
        if (!set.empty()) {
            t->earlierCookies.push_back(std::move(set));
        }
        t->headers.clear();
    }
    if (line.empty()) {
        return n;
    }
    if (t->headers.size() + line.size() + 2 > t->limits->maxHeaderBytes) {
        t->overLimit = true;
        return 0;
    }
    t->headers.append(line);
    t->headers += "\r\n";
    return n;
}

// --- download to a file ------------------------------------------------------

struct FileTransfer {
    CURL* handle = nullptr;
    const HttpLimits* limits = nullptr;
    const DownloadArgs* args = nullptr;
    int fd = -1;
    Transfer head;  // the header lines of the final reply
    bool started = false;
    // The reply is not the file: a status other than 200, or over the limit.
    bool refused = false;
    bool writeFailed = false;
    int status = 0;
    std::int64_t announced = -1;
    std::int64_t received = 0;
};

bool writeAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        const long long written = platform::writeFile(fd, data, n);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        n -= static_cast<size_t>(written);
    }
    return true;
}

size_t onFileBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<FileTransfer*>(user);
    const size_t n = size * count;
    if (!t->started) {
        // The first body byte comes after the final reply's headers: its
        // status and length are settled now.
        t->started = true;
        long code = 0;
        curl_easy_getinfo(t->handle, CURLINFO_RESPONSE_CODE, &code);
        t->status = static_cast<int>(code);
        curl_off_t length = -1;
        curl_easy_getinfo(t->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        t->announced = length;
        if (t->status != 200) {
            t->refused = true;
            return 0;
        }
        if (length >= 0 && t->args->onTotal) {
            t->args->onTotal(length);
        }
    }
    if (static_cast<std::uint64_t>(t->received) + n > t->limits->maxBodyBytes) {
        t->refused = true;
        return 0;
    }
    if (!writeAll(t->fd, data, n)) {
        t->writeFailed = true;
        return 0;
    }
    t->received += static_cast<std::int64_t>(n);
    if (t->args->onReceived) {
        t->args->onReceived(t->received);
    }
    return n;
}

struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

// Runs the transfer of `h` on a multi handle, so that a stop can wake the
// wait at once instead of at the next progress call (which libcurl makes
// only about once a second while nothing moves). The multi handle keeps the
// connection when the transfer ends well: a lane of a connection pool, or a
// private one that goes with the call.
CURLcode performStoppable(CURL* h, const std::stop_token& stop, CURLM* multi) {
    if (multi == nullptr) {
        return CURLE_OUT_OF_MEMORY;
    }
    if (curl_multi_add_handle(multi, h) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    bool finished = false;
    {
        // Destroyed before the multi handle: its destructor waits for a wake
        // that is running on the stopping thread.
        const std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
        int running = 1;
        while (!stop.stop_requested()) {
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            if (running == 0) {
                finished = true;
                break;
            }
            if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
        }
    }
    if (finished) {
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) {
                result = msg->data.result;
            }
        }
    }
    curl_multi_remove_handle(multi, h);
    return result;
}

// Runs the transfer on a multi handle of its own.
CURLcode performStoppable(CURL* h, const std::stop_token& stop) {
    const MultiHandle multi(curl_multi_init());
    return performStoppable(h, stop, multi.get());
}

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

// Bytes a URL may not carry as they are (controls, space, non-ASCII) are sent
// percent-encoded, as a browser does.
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

bool chunkedReply(const std::string& headers) {
    for (const std::string& line : headerLines(headers)) {
        if (toLowerAscii(line.substr(0, 18)) == "transfer-encoding:" &&
            findText(line, "chunked", 1, Case::Insensitive) > 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

namespace http_detail {

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

void HttpClient::setCaBundle(std::string path) {
    Globals& g = globals();
    std::unique_lock lock(g.caMutex);
    g.caBundle = std::move(path);
}

std::string HttpClient::caBundle() {
    Globals& g = globals();
    std::shared_lock lock(g.caMutex);
    return g.caBundle;
}

void HttpClient::clearCookieEngine() {
    Globals& g = globals();
    EasyHandle h(curl_easy_init());
    if (!h || g.cookies.share() == nullptr) {
        return;
    }
    curl_easy_setopt(h.get(), CURLOPT_SHARE, g.cookies.share());
    curl_easy_setopt(h.get(), CURLOPT_COOKIELIST, "ALL");
}

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

    const std::string origin = std::string(secure ? "https://" : "http://") +
                               toLowerAscii(addressHost(address)) + ":" +
                               std::to_string(addressPort(address));
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

    const std::string url = std::string(secure ? "https://" : "http://") + addressHost(address) +
                            ":" + std::to_string(addressPort(address)) +
                            encodePath(addressPath(address));
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
    handle.reset();
    const bool closed = platform::closeFile(fd);

    result.status = transfer.status;
    result.announced = transfer.announced;
    result.received = transfer.received;
    const bool whole = transfer.announced >= 0 ? transfer.received == transfer.announced
                                               : chunkedReply(transfer.head.headers);
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
