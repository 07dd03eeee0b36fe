#pragma once
// Files and folders by name. Names inside the program are UTF-8 texts; the
// system's calls take them as they are on Linux and as UTF-16 on Windows, so
// that a Chinese file name opens on both. Every descriptor opened here is
// kept from programs this one starts. fileKind, the writers, renames and
// removals never follow a symbolic link at the name they are given;
// openFile for Read does (a list the user imports may be a link).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace yhz::platform {

// The system's path of a UTF-8 name, and back.
std::filesystem::path utf8Path(std::string_view utf8);
std::string utf8Text(const std::filesystem::path& path);

#ifdef _WIN32
// UTF-16 of a UTF-8 text, for the system's wide calls; empty when it is no
// valid UTF-8, which no call then finds.
std::wstring utf16Of(std::string_view utf8);
#endif

enum class FileKind { Missing, File, Folder, Link, Other };
// What the name is, itself: a symbolic link counts as Link.
FileKind fileKind(const std::string& path);

enum class OpenMode {
    Read,      // an existing file; the open never waits (a pipe opens at once, to be refused)
    Write,     // created, or emptied when it exists
    WriteNew,  // created; fails when the name is taken
    Append,    // created when missing, written at its end
    Keep,      // created when missing, its bytes kept
};
// A descriptor, or -1. `permissions` apply to a file it creates (Linux).
int openFile(const std::string& path, OpenMode mode, unsigned permissions = 0644);
// As write(2) and pread(2): bytes moved, or -1 with errno set.
long long writeFile(int fd, const void* data, std::size_t size);
// Writes every byte, as often as the system takes fewer or is interrupted.
bool writeWholeFile(int fd, const void* data, std::size_t size);
// Puts `bytes` at `path` whole or not at all: written into a new file beside
// it, on the disk, then renamed over it. A failure leaves what was there.
bool replaceFileWith(const std::string& path, std::string_view bytes);
long long readFileAt(int fd, void* data, std::size_t size, std::uint64_t offset);
// Size of an open file, nullopt unless it is a regular file.
std::optional<std::uint64_t> regularFileSize(int fd);
// On the disk before it returns true.
bool syncFile(int fd);
bool closeFile(int fd);
// An exclusive lock, held until the descriptor is closed; false at once when
// another holds it.
bool tryLockFile(int fd);

bool makeFolder(const std::string& path, unsigned permissions = 0755);
// Removes the folder only when it is empty.
bool removeEmptyFolder(const std::string& path);
bool removeFile(const std::string& path);
// Renames, replacing a file at `to`.
bool renameFile(const std::string& from, const std::string& to);
// A new folder named `prefix` and six more characters; its name, or "".
std::string makeUniqueFolder(const std::string& prefix);
// Marks a file as a program that may be started (Linux; nothing on Windows).
void makeExecutable(const std::string& path);
// True when this user may make files in the folder, found by a probe made
// there and removed at once.
bool folderWritable(const std::string& folder);
// Where the desktop keeps each user's program data: $XDG_DATA_HOME (when
// absolute) or ~/.local/share on Linux, %LOCALAPPDATA% on Windows; empty
// when none is known.
std::filesystem::path userDataHome();

}  // namespace yhz::platform
