#include "update/package_archive.h"

#include <sys/stat.h>
#include <unzip.h>
#include <zlib.h>
#ifdef _WIN32
#include <iowin32.h>
#endif

#include <array>
#include <filesystem>
#include <memory>
#include <set>

#include "platform/files.h"
#include "text/encoding.h"
#include "text/text_decoding.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kHostUnix = 3;
constexpr unsigned kHostMac = 19;
constexpr unsigned long kFlagEncrypted = 0x1;
constexpr unsigned long kFlagUtf8 = 0x800;
constexpr unsigned kUnicodePathField = 0x7075;
constexpr unsigned long kDosDirectory = 0x10;

struct ZipCloser {
    void operator()(void* zip) const { unzClose(zip); }
};
using ZipHandle = std::unique_ptr<void, ZipCloser>;

struct Entry {
    std::string path;  // safe relative path
    bool directory = false;
    bool executable = false;
    std::uint64_t size = 0;
};

unsigned le16(std::string_view s, size_t at) {
    return static_cast<unsigned char>(s[at]) |
           (static_cast<unsigned>(static_cast<unsigned char>(s[at + 1])) << 8);
}

std::uint32_t le32(std::string_view s, size_t at) {
    return static_cast<std::uint32_t>(le16(s, at)) |
           (static_cast<std::uint32_t>(le16(s, at + 2)) << 16);
}

// The name and the facts of the current entry; false when minizip cannot
// read its header.
bool currentEntry(void* zip, unz_file_info64& info, std::string& name, std::string& extra) {
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        return false;
    }
    name.assign(info.size_filename, '\0');
    extra.assign(info.size_file_extra, '\0');
    return unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()),
                                   extra.data(), static_cast<uLong>(extra.size()), nullptr,
                                   0) == UNZ_OK;
}

bool unixHost(const unz_file_info64& info) {
    const auto host = static_cast<unsigned>(info.version >> 8);
    return host == kHostUnix || host == kHostMac;
}

// The entry as it will be unpacked, or the problem with it.
ArchiveProblem describe(const unz_file_info64& info, const std::string& rawName,
                        const std::string& extra, Entry& entry) {
    if ((info.flag & kFlagEncrypted) != 0) {
        return ArchiveProblem::UnsafeEntry;
    }
    const std::string name = entryNameUtf8(rawName, (info.flag & kFlagUtf8) != 0, extra);
    const std::optional<std::string> path = safeEntryPath(name);
    if (!path) {
        return ArchiveProblem::UnsafeEntry;
    }
    entry.path = *path;
    entry.size = info.uncompressed_size;
    // Read from the decoded name: in a GBK name, the second byte of 乗, 誠,
    // 運 and many more is the byte of "\\".
    const char last = name.empty() ? '\0' : name.back();
    entry.directory = last == '/' || last == '\\' || (info.external_fa & kDosDirectory) != 0;
    if (unixHost(info)) {
        const auto mode = static_cast<mode_t>(info.external_fa >> 16);
        const mode_t type = mode & S_IFMT;
        // A link could point anywhere; devices and pipes are no update's business.
        if (type != 0 && type != S_IFREG && type != S_IFDIR) {
            return ArchiveProblem::UnsafeEntry;
        }
        entry.directory = entry.directory || type == S_IFDIR;
        entry.executable = (mode & 0111) != 0;
    }
    return ArchiveProblem::None;
}

// Unpacks the current entry, a file, to `target`; counts the bytes actually
// read, whatever the archive claims.
ArchiveProblem unpackFile(void* zip, const Entry& entry, const fs::path& target,
                          std::uint64_t& total, const ArchiveLimits& limits,
                          const std::stop_token& stop) {
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
        return ArchiveProblem::WriteFailed;
    }
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        return ArchiveProblem::Corrupt;
    }
    const int fd = platform::openFile(platform::utf8Text(target), platform::OpenMode::WriteNew,
                                      entry.executable ? 0755 : 0644);
    if (fd < 0) {
        unzCloseCurrentFile(zip);
        return ArchiveProblem::WriteFailed;
    }
    ArchiveProblem problem = ArchiveProblem::None;
    std::uint64_t written = 0;
    std::array<char, 64 * 1024> buffer{};
    while (problem == ArchiveProblem::None) {
        if (stop.stop_requested()) {
            problem = ArchiveProblem::Stopped;
            break;
        }
        const int got = unzReadCurrentFile(zip, buffer.data(), buffer.size());
        if (got == 0) {
            break;
        }
        if (got < 0) {
            problem = ArchiveProblem::Corrupt;
            break;
        }
        const auto n = static_cast<std::uint64_t>(got);
        written += n;
        total += n;
        if (written > entry.size) {
            problem = ArchiveProblem::Corrupt;
        } else if (total > limits.maxTotalBytes) {
            problem = ArchiveProblem::TooLarge;
        } else if (!platform::writeWholeFile(fd, buffer.data(), static_cast<size_t>(got))) {
            problem = ArchiveProblem::WriteFailed;
        }
    }
    const bool closed = platform::closeFile(fd);
    // Reports a checksum that does not match once the whole entry was read.
    const int check = unzCloseCurrentFile(zip);
    if (problem != ArchiveProblem::None) {
        return problem;
    }
    if (check != UNZ_OK || written != entry.size) {
        return ArchiveProblem::Corrupt;
    }
    return closed ? ArchiveProblem::None : ArchiveProblem::WriteFailed;
}

}  // namespace

std::optional<std::string> safeEntryPath(std::string_view name) {
    std::string path(name);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    if (path.empty() || path.front() == '/') {
        return std::nullopt;
    }
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string_view part = std::string_view(path).substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return std::nullopt;
        }
        start = end + 1;
    }
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ':') {
            return std::nullopt;
        }
    }
    return path;
}

std::string entryNameUtf8(std::string_view raw, bool utf8Flag, std::string_view extra) {
    if (utf8Flag) {
        return std::string(raw);
    }
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        const unsigned id = le16(extra, at);
        const unsigned size = le16(extra, at + 2);
        if (at + 4 + size > extra.size()) {
            break;
        }
        if (id == kUnicodePathField && size >= 5 && extra[at + 4] == 1) {
            const auto* bytes = reinterpret_cast<const Bytef*>(raw.data());
            const uLong crc = crc32(crc32(0L, Z_NULL, 0), bytes, static_cast<uInt>(raw.size()));
            if (le32(extra, at + 5) == static_cast<std::uint32_t>(crc)) {
                return std::string(extra.substr(at + 9, size - 5));
            }
        }
        at += 4 + size;
    }
    if (validUtf8(raw)) {  // the name has no zero byte: checked before
        return std::string(raw);
    }
    return localToUtf8(raw);
}

UnpackResult unpackArchive(const std::string& archive, const std::string& folder,
                           std::stop_token stop, ArchiveLimits limits) {
    UnpackResult result;
#ifdef _WIN32
    // The archive's name as UTF-16, so that a Chinese name opens.
    zlib_filefunc64_def wideFiles;
    fill_win32_filefunc64W(&wideFiles);
    const std::wstring wideName = platform::utf16Of(archive);
    ZipHandle zip(unzOpen2_64(wideName.c_str(), &wideFiles));
#else
    ZipHandle zip(unzOpen64(archive.c_str()));
#endif
    if (!zip) {
        result.problem = ArchiveProblem::Unreadable;
        return result;
    }

    // First every name: one bad entry refuses the archive before anything
    // is written.
    std::vector<Entry> entries;
    std::set<std::string> seen;
    std::uint64_t declared = 0;
    unz_file_info64 info{};
    std::string rawName;
    std::string extra;
    for (int rc = unzGoToFirstFile(zip.get()); rc != UNZ_END_OF_LIST_OF_FILE;
         rc = unzGoToNextFile(zip.get())) {
        if (rc != UNZ_OK || !currentEntry(zip.get(), info, rawName, extra)) {
            result.problem = ArchiveProblem::Corrupt;
            return result;
        }
        if (entries.size() >= limits.maxEntries) {
            result.problem = ArchiveProblem::TooLarge;
            return result;
        }
        Entry entry;
        // A zero byte would hide the rest of the name from every later check.
        ArchiveProblem problem = rawName.find('\0') != std::string::npos
                                     ? ArchiveProblem::UnsafeEntry
                                     : describe(info, rawName, extra, entry);
        // A second entry of the same name would quietly replace the first.
        if (problem == ArchiveProblem::None && !seen.insert(entry.path).second) {
            problem = ArchiveProblem::UnsafeEntry;
        }
        if (problem != ArchiveProblem::None) {
            result.problem = problem;
            result.entry = entryNameUtf8(rawName, (info.flag & kFlagUtf8) != 0, extra);
            return result;
        }
        declared += entry.size;
        if (declared > limits.maxTotalBytes) {
            result.problem = ArchiveProblem::TooLarge;
            return result;
        }
        entries.push_back(std::move(entry));
    }
    if (entries.empty()) {
        result.problem = ArchiveProblem::Corrupt;
        return result;
    }

    const fs::path root = platform::utf8Path(folder);
    std::uint64_t total = 0;
    size_t index = 0;
    for (int rc = unzGoToFirstFile(zip.get());
         rc != UNZ_END_OF_LIST_OF_FILE && index < entries.size();
         rc = unzGoToNextFile(zip.get()), ++index) {
        const Entry& entry = entries[index];
        ArchiveProblem problem = ArchiveProblem::None;
        if (rc != UNZ_OK) {
            problem = ArchiveProblem::Corrupt;
        } else if (entry.directory) {
            std::error_code ec;
            fs::create_directories(root / platform::utf8Path(entry.path), ec);
            problem = ec ? ArchiveProblem::WriteFailed : ArchiveProblem::None;
        } else {
            problem = unpackFile(zip.get(), entry, root / platform::utf8Path(entry.path), total,
                                 limits, stop);
        }
        if (problem != ArchiveProblem::None) {
            result.problem = problem;
            result.entry = entry.path;
            result.files.clear();
            result.directories.clear();
            return result;
        }
        (entry.directory ? result.directories : result.files).push_back(entry.path);
    }
    return result;
}

}  // namespace yhz
