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
    failed_ = false;
    if (stop_.stop_requested()) {
        return std::nullopt;
    }
    ++page_;
    std::string headers(kSiteHeaderText);
    std::string replyHeaders;
    const std::string reply = client_.webRequest(address_, {.method = 1,
                                                            .formText = pageBody(page_, form_),
                                                            .cookieText = &cookies_,
                                                            .headerText = &headers,
                                                            .replyHeaders = &replyHeaders,
                                                            .stop = stop_});
    if (stop_.stop_requested()) {
        return std::nullopt;
    }
    const int status = replyStatus(replyHeaders);
    ScriptJson json;
    failed_ = status < 200 || status > 299 || !json.parse(utf8ToLocal(reply));
    if (failed_) {
        return std::nullopt;
    }
    return json;
}

}  // namespace yhz
