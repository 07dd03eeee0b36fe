#pragma once
// The demo world behind the site simulator: the regions with their offices,
// the number segments each office releases, and which plates of those
// segments are expired or already taken. Everything is a pure function of
// its inputs, so the simulator and the service (which marks taken plates in
// its registry) see the same plates without talking to each other.
//
// All texts here are UTF-8.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace yhz::demo {

enum class RegionKind { Municipality, City, Province };

struct Region {
    std::string code;       // host label: <code>.localhost
    std::string adminCode;  // six digits
    std::string name;       // as in the program's region list
    std::string province;   // the one-character abbreviation (UTF-8)
    char letter = 'A';      // the prefix letter of the region list
    RegionKind kind = RegionKind::Province;
};

struct Office {
    std::string glbm;  // the value of the office choice on the page
    std::string name;
    char letter = 'A';  // the office letter that starts every segment
};

enum class PlateType { Small, NewEnergy };

// The 53 regions in the order of the program's region list.
const std::vector<Region>& regions();
// Case-insensitive lookup by host label; nullptr when unknown.
const Region* findRegion(std::string_view code);
// Every distinct province abbreviation of the regions.
bool isProvinceAbbreviation(std::string_view utf8Character);

// The offices of a region; the page offers them in this order.
std::vector<Office> offices(const Region& region);
const Office* findOffice(const std::vector<Office>& list, std::string_view glbm);

// "02" and "52"; nullopt for anything else.
std::optional<PlateType> plateTypeFromCode(std::string_view code);
std::string_view plateTypeCode(PlateType type);

// Every office has a fixed pool of segments; each release day draws one.
inline constexpr int kSegmentPoolSize = 32;
inline constexpr int kPlatesPerSegment = 100;

// The starts of an office's segment pool, without the province character:
// for small cars the office letter and five characters with at most two
// letters, never I or O, ending in "00"; for new-energy cars the office letter,
// D or F, and five more, ending in "00".
std::vector<std::string> segmentPool(const Region& region, const Office& office, PlateType type);

// The last plate of a segment: its start with the final "00" as "99".
std::string segmentEnd(std::string_view start);

// The 100 serials of a segment (without the province character).
std::vector<std::string> segmentSerials(std::string_view start);

struct Release {
    std::string start;
    std::string end;
    std::int64_t day = 0;  // days since 1970-01-01
};

// The segments released in [firstDay, lastDay], by rising day. Within any 32
// consecutive days no segment is released twice.
std::vector<Release> releases(const Region& region, const Office& office, PlateType type,
                              std::int64_t firstDay, std::int64_t lastDay);

// The full plate text (province character followed by the serial) decides
// whether the demo registry holds it as taken or the site lists it as expired;
// the two never overlap.
bool isTakenPlate(std::string_view plate);
bool isExpiredPlate(std::string_view plate);

// The expired plates an office lists for a plate type, in pool order.
std::vector<std::string> expiredPlates(const Region& region, const Office& office, PlateType type);

// Calls `visit` with every plate of every pool of the world.
void forEachPlate(const std::function<void(const std::string& plate)>& visit);

// Dates as "yyyy-MM-dd" (years 2000 to 2099 only).
std::optional<std::int64_t> parseDay(std::string_view text);
std::string formatDay(std::int64_t day);

}  // namespace yhz::demo
