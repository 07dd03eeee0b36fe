#pragma once
// The watch list's file in the data folder: the plates the user wants to hear
// about once they free up, the one thing the program keeps from one run to the
// next. It has the form of the exports (GBK, one plate per line, CR LF after
// every line) and is always written whole through a file beside it, so the
// name holds one complete list. A file the program could not have written
// (too large, cut off, a zero byte, a line that is no plate text) is refused
// as a whole rather than read in part.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace yhz {

inline constexpr size_t kMaxWatchedPlates = 10000;
// The longest line the file may hold; a plate is 8 or 9 bytes.
inline constexpr size_t kMaxWatchLineBytes = 32;

enum class WatchFileStatus {
    Read,        // the file held a list, maybe an empty one
    Missing,     // no file yet: an empty list
    Refused,     // not a file the program wrote
    Unreadable,  // it could not be opened or read
};

struct WatchFileContent {
    WatchFileStatus status = WatchFileStatus::Missing;
    std::vector<std::string> plates;  // in the file's order, each once
};

WatchFileContent readWatchFile(const std::filesystem::path& file);

// Writes the list whole; false, with the old file in place, on failure.
bool writeWatchFile(const std::filesystem::path& file, const std::vector<std::string>& plates);

// Renames a refused or unreadable file to "<name>.refused-N" beside it, so
// that the next write cannot replace what it holds. The new name, or empty
// when it could not be renamed.
std::filesystem::path setWatchFileAside(const std::filesystem::path& file);

// Removes what writes cut short left beside the file ("<name>.tmp…").
void removeTornWatchWrites(const std::filesystem::path& file);

// A text the watch list takes: 1 to kMaxWatchLineBytes bytes of well-formed
// double-byte GBK and ASCII, without control characters.
bool isWatchablePlate(std::string_view plate);

}  // namespace yhz
