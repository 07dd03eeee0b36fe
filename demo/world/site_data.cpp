#include "demo/world/site_data.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <set>

namespace yhz::demo {

extern const std::string_view kRegionsText;

namespace {

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::uint64_t mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() { return mix(state_++); }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

private:
    std::uint64_t state_;
};

// Serial letters never include I or O, which read like 1 and 0.
constexpr std::string_view kSerialLetters = "ABCDEFGHJKLMNPQRSTUVWXYZ";
constexpr std::string_view kDigits = "0123456789";

std::vector<std::string> splitLine(std::string_view line, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    while (true) {
        std::size_t at = line.find(separator, from);
        parts.emplace_back(line.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos)
            break;
        from = at + 1;
    }
    return parts;
}

std::vector<Region> loadRegions() {
    std::vector<Region> list;
    for (const std::string& raw : splitLine(kRegionsText, '\n')) {
        std::string line = raw;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        std::vector<std::string> cols = splitLine(line, '\t');
        if (cols.size() != 5 || cols[3].size() < 2)
            continue;
        Region region;
        region.code = cols[0];
        region.adminCode = cols[1];
        region.name = cols[2];
        region.province = cols[3].substr(0, cols[3].size() - 1);
        region.letter = cols[3].back();
        region.kind = cols[4] == "m"   ? RegionKind::Municipality
                      : cols[4] == "c" ? RegionKind::City
                                       : RegionKind::Province;
        list.push_back(std::move(region));
    }
    return list;
}

std::uint64_t poolSeed(const Region& region, const Office& office, PlateType type) {
    std::string key = region.code;
    key += '|';
    key += office.glbm;
    key += '|';
    key += plateTypeCode(type);
    return fnv1a(key);
}

std::string smallStart(char officeLetter, Rng& rng) {
    // Weighted toward all-digit serials, as real releases are.
    static constexpr std::array<std::string_view, 10> patterns = {
        "DDD", "DDD", "DDD", "DDD", "LDD", "LDD", "DLD", "DDL", "LLD", "LDL"};
    std::string_view pattern = patterns[rng.below(patterns.size())];
    std::string start(1, officeLetter);
    for (char p : pattern) {
        start += p == 'L' ? kSerialLetters[rng.below(kSerialLetters.size())]
                          : kDigits[rng.below(kDigits.size())];
    }
    return start + "00";
}

std::string newEnergyStart(char officeLetter, Rng& rng) {
    std::string start(1, officeLetter);
    start += rng.below(2) == 0 ? 'D' : 'F';
    start += rng.below(2) == 0 ? kSerialLetters[rng.below(kSerialLetters.size())]
                               : kDigits[rng.below(kDigits.size())];
    start += kDigits[rng.below(kDigits.size())];
    start += kDigits[rng.below(kDigits.size())];
    return start + "00";
}

std::uint64_t plateBand(std::string_view plate) {
    return mix(fnv1a(plate)) % 1000;
}

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

const std::vector<Region>& regions() {
    static const std::vector<Region> list = loadRegions();
    return list;
}

const Region* findRegion(std::string_view code) {
    for (const Region& region : regions()) {
        if (region.code.size() != code.size())
            continue;
        bool same = std::equal(code.begin(), code.end(), region.code.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        });
        if (same)
            return &region;
    }
    return nullptr;
}

bool isProvinceAbbreviation(std::string_view utf8Character) {
    return std::any_of(regions().begin(), regions().end(),
                       [&](const Region& r) { return r.province == utf8Character; });
}

std::vector<Office> offices(const Region& region) {
    static constexpr std::array<std::string_view, 3> branch = {"车辆管理所", "车管所第一分所",
                                                               "车管所第二分所"};
    std::vector<Office> list;
    for (int k = 0; k < 3; ++k) {
        Office office;
        const auto index = static_cast<std::size_t>(k);
        if (region.kind == RegionKind::Province) {
            // One office per city, each city with its own letter.
            office.letter = static_cast<char>('A' + k);
            long cityCode = std::stol(region.adminCode) + (k + 1) * 100;
            office.glbm = std::to_string(cityCode) + "000400";
            office.name = region.province + office.letter + "号牌车辆管理所";
        } else {
            office.letter =
                region.kind == RegionKind::City ? region.letter : static_cast<char>('A' + k);
            office.glbm = region.adminCode + "00040" + std::to_string(k);
            // City entries carry the province in front of the city name.
            std::string city =
                region.kind == RegionKind::City ? region.name.substr(6) : region.name;
            office.name = city + "市" + std::string(branch[index]);
        }
        list.push_back(std::move(office));
    }
    return list;
}

const Office* findOffice(const std::vector<Office>& list, std::string_view glbm) {
    for (const Office& office : list) {
        if (office.glbm == glbm)
            return &office;
    }
    return nullptr;
}

std::optional<PlateType> plateTypeFromCode(std::string_view code) {
    if (code == "02")
        return PlateType::Small;
    if (code == "52")
        return PlateType::NewEnergy;
    return std::nullopt;
}

std::string_view plateTypeCode(PlateType type) {
    return type == PlateType::Small ? "02" : "52";
}

std::vector<std::string> segmentPool(const Region& region, const Office& office, PlateType type) {
    Rng rng(poolSeed(region, office, type));
    std::vector<std::string> pool;
    std::set<std::string> seen;
    while (pool.size() < static_cast<std::size_t>(kSegmentPoolSize)) {
        std::string start = type == PlateType::Small ? smallStart(office.letter, rng)
                                                     : newEnergyStart(office.letter, rng);
        if (seen.insert(start).second)
            pool.push_back(std::move(start));
    }
    return pool;
}

std::string segmentEnd(std::string_view start) {
    std::string end(start);
    if (end.size() >= 2)
        end.replace(end.size() - 2, 2, "99");
    return end;
}

std::vector<std::string> segmentSerials(std::string_view start) {
    std::vector<std::string> serials;
    if (start.size() < 2)
        return serials;
    std::string stem(start.substr(0, start.size() - 2));
    serials.reserve(kPlatesPerSegment);
    for (int n = 0; n < kPlatesPerSegment; ++n) {
        char tail[3];
        std::snprintf(tail, sizeof tail, "%02d", n);
        serials.push_back(stem + tail);
    }
    return serials;
}

std::vector<Release> releases(const Region& region, const Office& office, PlateType type,
                              std::int64_t firstDay, std::int64_t lastDay) {
    std::vector<Release> list;
    if (lastDay < firstDay)
        return list;
    const std::uint64_t seed = poolSeed(region, office, type);
    const std::vector<std::string> pool = segmentPool(region, office, type);
    const auto poolSize = static_cast<std::int64_t>(pool.size());
    const auto offset = static_cast<std::int64_t>(seed % static_cast<std::uint64_t>(poolSize));
    for (std::int64_t day = firstDay; day <= lastDay; ++day) {
        // Releases happen on a little more than half of the days.
        if (mix(seed ^ (static_cast<std::uint64_t>(day) * 0x9e3779b97f4a7c15ULL)) % 100 >= 55) {
            continue;
        }
        std::int64_t index = ((day % poolSize) + poolSize + offset) % poolSize;
        const std::string& start = pool[static_cast<std::size_t>(index)];
        list.push_back(Release{start, segmentEnd(start), day});
    }
    return list;
}

bool isTakenPlate(std::string_view plate) {
    return plateBand(plate) < 100;
}

bool isExpiredPlate(std::string_view plate) {
    std::uint64_t band = plateBand(plate);
    return band >= 100 && band < 130;
}

std::vector<std::string> expiredPlates(const Region& region, const Office& office, PlateType type) {
    std::vector<std::string> list;
    for (const std::string& start : segmentPool(region, office, type)) {
        for (const std::string& serial : segmentSerials(start)) {
            std::string plate = region.province + serial;
            if (isExpiredPlate(plate))
                list.push_back(std::move(plate));
        }
    }
    return list;
}

void forEachPlate(const std::function<void(const std::string& plate)>& visit) {
    for (const Region& region : regions()) {
        for (const Office& office : offices(region)) {
            for (PlateType type : {PlateType::Small, PlateType::NewEnergy}) {
                for (const std::string& start : segmentPool(region, office, type)) {
                    for (const std::string& serial : segmentSerials(start)) {
                        visit(region.province + serial);
                    }
                }
            }
        }
    }
}

std::optional<std::int64_t> parseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
    }
    auto number = [&](std::size_t from, std::size_t count) {
        unsigned value = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
        }
        return value;
    };
    unsigned year = number(0, 4);
    unsigned month = number(5, 2);
    unsigned day = number(8, 2);
    if (year < 2000 || year > 2099 || month < 1 || month > 12 || day < 1)
        return std::nullopt;
    static constexpr std::array<unsigned, 12> lengths = {31, 28, 31, 30, 31, 30,
                                                         31, 31, 30, 31, 30, 31};
    bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    unsigned last = lengths[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day > last)
        return std::nullopt;
    return daysFromCivil(year, month, day);
}

std::string formatDay(std::int64_t day) {
    // Inverse of daysFromCivil.
    day += 719468;
    const std::int64_t era = (day >= 0 ? day : day - 146096) / 146097;
    const auto doe = static_cast<unsigned>(day - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
    return text;
}

}  // namespace yhz::demo
