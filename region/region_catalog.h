#pragma once
// The regions the user can choose, and the values the start-up thread sets
// for everyone else to read.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace yhz {

// The region text: "北京-京A" and the rest in GBK, each line ended by CR LF,
// made from the built-in region table.
std::string builtInRegionText();
// Its lines, in order.
std::vector<std::string> builtInRegions();
// Base addresses of the built-in sites, "https://" each, in the regions' order.
std::vector<std::string> builtInSites();

// "江苏盐城-苏J" -> "苏J"; the region name is what stands before it.
std::string platePrefix(std::string_view displayText);

// Values that live for the whole run and are filled by the start-up thread:
// the 1-based site list and the relay address.
// Reads and writes may come from any thread.
class StartupValues {
public:
    void setSiteList(std::vector<std::string> sites);
    // Entry `index` (1-based) of the site list; "" when there is none.
    std::string site(int index) const;
    size_t siteCount() const;

    void setRelayAddress(std::string address);
    std::string relayAddress() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> sites_;
    std::string relayAddress_;
};

}  // namespace yhz
