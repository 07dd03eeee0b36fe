#pragma once
// Unpacking the update package: every entry of a ZIP archive into a folder,
// or nothing when a single entry would not stay inside it.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace yhz {

enum class ArchiveProblem {
    None,
    Unreadable,   // not a ZIP archive, or cannot be opened
    UnsafeEntry,  // a name that leaves the folder, a link, a device, an encrypted entry
    Corrupt,      // data that does not unpack, or not to the size and checksum recorded
    TooLarge,     // over the limits below
    WriteFailed,  // the folder would not take a file
    Stopped,
};

struct ArchiveLimits {
    std::size_t maxEntries = 20000;
    std::uint64_t maxTotalBytes = std::uint64_t{2} * 1024 * 1024 * 1024;
};

struct UnpackResult {
    ArchiveProblem problem = ArchiveProblem::None;
    std::string entry;                     // the entry that failed, as a UTF-8 name
    std::vector<std::string> files;        // relative paths, "/"-separated, in archive order
    std::vector<std::string> directories;  // relative paths of directory entries
    bool ok() const { return problem == ArchiveProblem::None; }
};

// Checks every entry before the first byte is written, then unpacks them
// all into `folder`, which should be empty: a failure part of the way leaves
// files there that the caller throws away with the folder. Files whose
// archive records a Unix mode with an execute bit are made executable.
UnpackResult unpackArchive(const std::string& archive, const std::string& folder,
                           std::stop_token stop = {}, ArchiveLimits limits = {});

// The relative path an entry name stands for, "/"-separated with a
// backslash read as a separator and no trailing "/"; nullopt for a name
// that would leave the folder or name it: absolute, a drive letter or any
// ":", an empty, "." or ".." part, a control byte.
std::optional<std::string> safeEntryPath(std::string_view name);

// The UTF-8 form of an entry's raw name: UTF-8 when the archive says so
// (flag bit 11, or an Info-ZIP Unicode path field that matches the name) or
// when the bytes are valid UTF-8; otherwise the GBK that archives made on
// this program's systems carry.
std::string entryNameUtf8(std::string_view raw, bool utf8Flag, std::string_view extraField);

}  // namespace yhz
