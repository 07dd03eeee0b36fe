#pragma once
// Page after page of one endpoint of a regional site: the same form with a
// rising page number, the site's header text and one cookie text that every
// reply updates.

#include <optional>
#include <stop_token>
#include <string>

#include "json/script_json.h"
#include "net/cookies.h"
#include "net/http_client.h"

namespace yhz {

class SitePager {
public:
    SitePager(const HttpClient& client, std::string address, CookieJar cookies, std::string form,
              std::stop_token stop);

    // Asks for the next page (1 first) and reads its reply, converted from
    // UTF-8, as JSON. nullopt when a stop has been asked for, or when the
    // page failed: no reply, a status other than 2xx (an error page may well
    // be JSON too), or a reply that does not parse.
    std::optional<ScriptJson> next();

    // Whether the last next() answered nullopt for a failed page rather
    // than for a stop.
    bool failed() const { return failed_; }
    long page() const { return page_; }
    const CookieJar& cookies() const { return cookies_; }

private:
    const HttpClient& client_;
    std::string address_;
    CookieJar cookies_;
    std::string form_;
    std::stop_token stop_;
    long page_ = 0;
    bool failed_ = false;
};

}  // namespace yhz
