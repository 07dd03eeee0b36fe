#pragma once
// What every request of the process shares: libcurl set up once, the cookie
// engine of the requests that bring no cookie text, and the CA certificates
// HTTPS peers must chain to. Only for use inside this folder.

#include <shared_mutex>
#include <string>

#include "net/curl_share.h"

namespace yhz::http_internal {

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

// Created on first use (which sets libcurl up) and never destroyed: worker
// threads may still be in a request while the process exits.
Globals& globals();

}  // namespace yhz::http_internal
