#include "retrieval/site_pager.h"

#include "retrieval/site_interface.h"
#include "text/encoding.h"

namespace yhz {

SitePager::SitePager(const HttpClient& client, std::string address, CookieJar cookies,
                     std::string form, std::stop_token stop)
    : client_(client),
      address_(std::move(address)),
      cookies_(std::move(cookies)),
      form_(std::move(form)),
      stop_(std::move(stop)) {}

std::optional<ScriptJson> SitePager::next() {
    if (stop_.stop_requested()) {
        return std::nullopt;
    }
    ++page_;
    std::string headers(kSiteHeaderText);
    const std::string reply = client_.webRequest(address_, {.method = 1,
                                                            .formText = pageBody(page_, form_),
                                                            .cookieText = &cookies_,
                                                            .headerText = &headers,
                                                            .stop = stop_});
    ScriptJson json;
    if (stop_.stop_requested() || !json.parse(utf8ToLocal(reply))) {
        return std::nullopt;
    }
    return json;
}

}  // namespace yhz
