#pragma once
// Where the files of an update go, and which names may be used for them.
// The names arrive from the service as GBK texts; file names on this system
// are UTF-8, so every name is converted before it becomes part of a path.

#include <optional>
#include <string>
#include <string_view>

namespace yhz {

#ifdef _WIN32
inline constexpr std::string_view kExecutableSuffix = ".exe";
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr std::string_view kExecutableSuffix = "";
inline constexpr char kPathSeparator = '/';
#endif

struct UpdatePaths {
    std::string directory;       // the program folder D, no trailing separator
    std::string package;         // D/<packageName>.zip
    std::string oldExecutable;   // D/old云海舟: the running program while the new one starts
    std::string unpackedName;    // <packageName>: the executable's name inside the package
    std::string newExecutable;   // D/<packageName>[<latestVersion>]
    std::string offeredVersion;  // <latestVersion> as the offer names it (GBK)
};

// The paths of an update of the program in `directory`; nullopt when the
// package name or the version would not make plain file names there.
std::optional<UpdatePaths> updatePaths(std::string_view directory, std::string_view packageNameGbk,
                                       std::string_view latestVersionGbk);

// A name that stays a single file inside its folder: not empty, not "." or
// "..", no control byte and none of ? / \ < > * | : and the double quote.
bool plainFileName(std::string_view name);

// A rename target must be a full path to a file: on Windows a drive letter
// with ":\" or ":/", elsewhere a leading "/"; and a file-name part (after
// the last separator) that is a plain file name.
bool isFullFilePath(std::string_view path);

// Whether two full paths name the same file, and whether `path` lies below
// `folder`, compared part by part. Windows gives the program's own path with
// "\" while paths made here join with "/", so their texts differ.
bool samePath(std::string_view a, std::string_view b);
bool insideFolder(std::string_view path, std::string_view folder);

// The command line that removes `path` on Windows once the running program
// has ended: a single ping that no one answers serves as the delay.
std::string delayedRemovalCommand(std::string_view path, int milliseconds);

}  // namespace yhz
