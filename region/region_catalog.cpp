#include "region/region_catalog.h"

#include "region/embedded_data.h"
#include "text/encoding.h"
#include "text/gbk_text.h"
#include "text/text_cut.h"

namespace yhz {

std::string builtInRegionText() {
    // In GBK before it is cut: the cuts step over two-byte characters.
    const std::string table = replaceAll(utf8ToLocal(kRegionTable), "\r", "");
    std::string text;
    for (const std::string& line : splitText(table, "\n")) {
        // Columns: host label, code, region name, plate prefix, kind.
        const std::vector<std::string> columns = splitText(line, "\t");
        if (line.empty() || line.front() == '#' || columns.size() < 4) {
            continue;
        }
        text += columns[2] + "-" + columns[3] + "\r\n";
    }
    return text;
}

std::vector<std::string> builtInRegions() {
    return splitText(builtInRegionText(), "\r\n");
}

std::vector<std::string> builtInSites() {
    return splitText(replaceAll(kSiteList, "http", "https"), "\r\n");
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
