#pragma once
// Whether a paged run takes the page a site has just sent or ends at it. A
// site that ignores the page number, or keeps answering for ever, would
// otherwise keep a run going and its list growing without end. The total a
// site announces plays no part: sites let it lag behind the list they send,
// and the pages past it hold rows as real as the rest.

#include <optional>
#include <string>
#include <vector>

namespace yhz {

// Why a paged run stopped asking for pages.
enum class RunEnd {
    LastPage,    // a page without entries: the site has given everything
    PageFailed,  // no reply, an error status, or a reply that is not JSON
    Repeated,    // the page held the previous page's entries again
    PageLimit,   // more pages than any office's list fills
};

class PageGuard {
public:
    // Ten thousand pages hold every list a site publishes many times over.
    static constexpr long kMaxPages = 10000;

    // Page `page` (from 1) brought `rows` entries (at least one) whose texts,
    // every field of every entry in order, are `texts`. nullopt: the page is
    // taken and counted. Otherwise the run ends at it and its entries are not
    // taken.
    std::optional<RunEnd> admit(long page, long rows, const std::vector<std::string>& texts);

    // Entries of the pages taken so far.
    long long taken() const { return taken_; }

private:
    std::vector<std::string> previous_;
    long long taken_ = 0;
};

}  // namespace yhz
