#pragma once
// What the program sends a regional site and where: the self-selection page,
// the two paged endpoints, their form texts and the header text they need.

#include <string>
#include <string_view>

namespace yhz {

inline constexpr std::string_view kSelfSelectionPath = "/views/vehxhhdpub.html";
inline constexpr std::string_view kSegmentPath = "/m/mvehxh/getTfhdList";
inline constexpr std::string_view kExpiredPath = "/m/mvehxh/getDiscardList";

// The extra header lines of every endpoint request; callers pass a fresh copy
// each time, as the request routine rewrites it.
inline constexpr std::string_view kSiteHeaderText =
    "Content-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n"
    "X-Requested-With: XMLHttpRequest";

// The page's choices, GBK, as the page holds them.
struct PageChoices {
    std::string glbm;       // traffic-management office
    std::string hpzl;       // plate type
    std::string startTime;  // release date range
    std::string endTime;
};

// Values go in unencoded: the site reads them as the page's own script
// would send them.
std::string segmentForm(const PageChoices& choices);
std::string expiredForm(std::string_view glbm, std::string_view hpzl);

// "page=" + n + the form text.
std::string pageBody(long page, std::string_view form);

// The leading integer of a text ("19", "-3", "12.7" -> 12); 0 without digits.
long long leadingInteger(std::string_view text);

}  // namespace yhz
