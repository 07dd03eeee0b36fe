#include "net/curl_globals.h"

#include <csignal>
#include <mutex>

#include "net/http_client.h"

namespace yhz {
namespace http_internal {

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

}  // namespace http_internal

void HttpClient::setCaBundle(std::string path) {
    http_internal::Globals& g = http_internal::globals();
    std::unique_lock lock(g.caMutex);
    g.caBundle = std::move(path);
}

std::string HttpClient::caBundle() {
    http_internal::Globals& g = http_internal::globals();
    std::shared_lock lock(g.caMutex);
    return g.caBundle;
}

void HttpClient::clearCookieEngine() {
    http_internal::Globals& g = http_internal::globals();
    CURL* h = curl_easy_init();
    if (h == nullptr) {
        return;
    }
    if (g.cookies.share() != nullptr) {
        curl_easy_setopt(h, CURLOPT_SHARE, g.cookies.share());
        curl_easy_setopt(h, CURLOPT_COOKIELIST, "ALL");
    }
    curl_easy_cleanup(h);
}

}  // namespace yhz
