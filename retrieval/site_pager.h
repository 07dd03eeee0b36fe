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
    // UTF-8, as JSON. nullopt when the request fails, the reply does not
    // parse or a stop has been asked for: the last page has been reached.
    std::optional<ScriptJson> next();

    long page() const { return page_; }
    const CookieJar& cookies() const { return cookies_; }

private:
    const HttpClient& client_;
    std::string address_;
    CookieJar cookies_;
    std::string form_;
    std::stop_token stop_;
    long page_ = 0;
};

}  // namespace yhz
