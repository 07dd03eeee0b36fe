#include "plates/watch_file.h"

#include <fstream>
#include <unordered_set>

#include "plates/plate_files.h"

namespace yhz {
namespace {

// Every plate at the longest line, each with its CR LF.
constexpr std::uintmax_t kMaxWatchFileBytes = kMaxWatchedPlates * (kMaxWatchLineBytes + 2);

std::string fileName(const std::filesystem::path& file) {
    return file.filename().string();
}

}  // namespace

bool isWatchablePlate(std::string_view plate) {
    if (plate.empty() || plate.size() > kMaxWatchLineBytes) {
        return false;
    }
    for (size_t at = 0; at < plate.size(); ++at) {
        const auto byte = static_cast<unsigned char>(plate[at]);
        if (byte < 0x20 || byte == 0x7F || byte == 0x80 || byte == 0xFF) {
            return false;
        }
        if (byte > 0x80) {
            // A lead byte: a trail byte of 40..FE other than 7F must follow.
            if (at + 1 >= plate.size()) {
                return false;
            }
            const auto trail = static_cast<unsigned char>(plate[++at]);
            if (trail < 0x40 || trail == 0x7F || trail == 0xFF) {
                return false;
            }
        }
    }
    return true;
}

WatchFileContent readWatchFile(const std::filesystem::path& file) {
    WatchFileContent content;
    std::error_code ec;
    const std::filesystem::file_status state = std::filesystem::status(file, ec);
    if (state.type() == std::filesystem::file_type::not_found) {
        content.status = WatchFileStatus::Missing;
        return content;
    }
    if (ec) {
        content.status = WatchFileStatus::Unreadable;
        return content;
    }
    if (state.type() != std::filesystem::file_type::regular) {
        content.status = WatchFileStatus::Refused;
        return content;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        content.status = WatchFileStatus::Unreadable;
        return content;
    }
    // One byte past the bound tells a file that is too large.
    std::string bytes(kMaxWatchFileBytes + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        content.status = WatchFileStatus::Unreadable;
        return content;
    }
    bytes.resize(static_cast<size_t>(in.gcount()));

    content.status = WatchFileStatus::Refused;
    // The program ends every line, the last one too: a file without that end
    // was cut short, and its last plate may be a part of one.
    const bool whole = bytes.empty() || bytes.ends_with("\r\n");
    if (bytes.size() > kMaxWatchFileBytes || !whole || bytes.find('\0') != std::string::npos) {
        return content;
    }
    std::vector<std::string> lines = splitPlateLines(bytes);
    if (lines.size() > kMaxWatchedPlates) {
        return content;
    }
    std::unordered_set<std::string> seen;
    seen.reserve(lines.size());
    content.plates.reserve(lines.size());
    for (std::string& line : lines) {
        if (!isWatchablePlate(line)) {
            content.plates.clear();
            return content;
        }
        if (seen.insert(line).second) {  // a copy: the line moves on
            content.plates.push_back(std::move(line));
        }
    }
    content.status = WatchFileStatus::Read;
    return content;
}

bool writeWatchFile(const std::filesystem::path& file, const std::vector<std::string>& plates) {
    return writeFileWhole(file, plateFileText(plates));
}

std::filesystem::path setWatchFileAside(const std::filesystem::path& file) {
    for (int n = 1; n <= 100; ++n) {
        std::filesystem::path aside = file;
        aside += ".refused-" + std::to_string(n);
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(aside, ec))) {
            continue;
        }
        std::filesystem::rename(file, aside, ec);
        return ec ? std::filesystem::path() : aside;
    }
    return {};
}

void removeTornWatchWrites(const std::filesystem::path& file) {
    const std::string prefix = fileName(file) + ".tmp";
    std::error_code ec;
    std::filesystem::directory_iterator entries(file.parent_path(), ec);
    if (ec) {
        return;
    }
    std::vector<std::filesystem::path> torn;
    for (; !ec && entries != std::filesystem::directory_iterator(); entries.increment(ec)) {
        if (fileName(entries->path()).starts_with(prefix)) {
            torn.push_back(entries->path());
        }
    }
    for (const std::filesystem::path& path : torn) {
        std::filesystem::remove(path, ec);
    }
}

}  // namespace yhz
