#include "region/region_catalog.h"

#include "region/embedded_data.h"
#include "text/encoding.h"
#include "text/gbk_text.h"
#include "text/text_cut.h"

namespace yhz {

std::vector<std::string> builtInRegions() {
    return splitText(textUpToZero(base64Decode(embeddedRegionText())), "\r\n");
}

std::vector<std::string> builtInSites() {
    return splitText(replaceAll(embeddedSiteText(), "http", "https"), "\r\n");
}

std::string platePrefix(std::string_view displayText) {
    return textAfterLast(displayText, "-");
}

void StartupValues::setSiteList(std::vector<std::string> sites) {
    const std::lock_guard lock(mutex_);
    sites_ = std::move(sites);
}

std::string StartupValues::site(int index) const {
    const std::lock_guard lock(mutex_);
    if (index < 1 || static_cast<size_t>(index) > sites_.size()) {
        return {};
    }
    return sites_[static_cast<size_t>(index - 1)];
}

size_t StartupValues::siteCount() const {
    const std::lock_guard lock(mutex_);
    return sites_.size();
}

void StartupValues::setRelayAddress(std::string address) {
    const std::lock_guard lock(mutex_);
    relayAddress_ = std::move(address);
}

std::string StartupValues::relayAddress() const {
    const std::lock_guard lock(mutex_);
    return relayAddress_;
}

}  // namespace yhz
