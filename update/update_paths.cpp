#include "update/update_paths.h"

#include <algorithm>
#include <filesystem>

#include "platform/files.h"
#include "text/encoding.h"

namespace yhz {
namespace {

constexpr std::string_view kForbidden = "?/\\<>*|:\"";

std::filesystem::path comparable(std::string_view path) {
    return platform::utf8Path(path).lexically_normal().make_preferred();
}

std::string_view fileNamePart(std::string_view path) {
    const size_t last = path.find_last_of("/\\");
    return last == std::string_view::npos ? path : path.substr(last + 1);
}

}  // namespace

bool plainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
            kForbidden.find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool isFullFilePath(std::string_view path) {
    if (path.empty()) {
        return false;
    }
#ifdef _WIN32
    const char first = path.front();
    const char upper = (first >= 'a' && first <= 'z') ? static_cast<char>(first - 32) : first;
    if (upper < 'A' || upper > 'Z') {
        return false;
    }
    if (path.find(":\\") == std::string_view::npos && path.find(":/") == std::string_view::npos) {
        return false;
    }
#else
    if (path.front() != '/') {
        return false;
    }
#endif
    return plainFileName(fileNamePart(path));
}

std::optional<UpdatePaths> updatePaths(std::string_view directory, std::string_view packageNameGbk,
                                       std::string_view latestVersionGbk) {
    // A zero byte would cut the conversion short and hide what follows it.
    if (packageNameGbk.find('\0') != std::string_view::npos ||
        latestVersionGbk.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string name = localToUtf8(packageNameGbk);
    const std::string version = localToUtf8(latestVersionGbk);
    const std::string suffix(kExecutableSuffix);
    const std::string newName = name + "[" + version + "]" + suffix;
    if (!plainFileName(name) || !plainFileName(name + ".zip") || !plainFileName(newName)) {
        return std::nullopt;
    }
    std::string dir(directory);
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == kPathSeparator)) {
        dir.pop_back();
    }
    const std::string prefix = dir + kPathSeparator;
    UpdatePaths paths;
    paths.directory = dir;
    paths.package = prefix + name + ".zip";
    paths.oldExecutable = prefix + "old云海舟" + suffix;
    paths.unpackedName = name + suffix;
    paths.newExecutable = prefix + newName;
    paths.offeredVersion = std::string(latestVersionGbk);
    if (!isFullFilePath(paths.newExecutable) || !isFullFilePath(paths.oldExecutable)) {
        return std::nullopt;
    }
    return paths;
}

bool samePath(std::string_view a, std::string_view b) {
    return comparable(a) == comparable(b);
}

bool insideFolder(std::string_view path, std::string_view folder) {
    const std::filesystem::path inner = comparable(path);
    const std::filesystem::path outer = comparable(folder);
    const auto [o, i] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return o == outer.end() && i != inner.end();
}

std::string delayedRemovalCommand(std::string_view path, int milliseconds) {
    // 192.0.2.1 is set aside for documentation and never answers, so the
    // ping waits out its whole time-out.
    return "cmd /c ping 192.0.2.1 -n 1 -w " + std::to_string(milliseconds) + " & del \"" +
           std::string(path) + "\"";
}

}  // namespace yhz
