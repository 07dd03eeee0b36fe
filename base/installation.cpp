#include "base/installation.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace yhz {
namespace {

std::filesystem::path accountHome() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

}  // namespace

Installation installationOf(const std::filesystem::path& programFolder) {
    std::error_code ec;
    if (std::filesystem::exists(programFolder / kPackageMarker, ec)) {
        return Installation::Installed;
    }
    return access(programFolder.c_str(), W_OK | X_OK) == 0 ? Installation::Portable
                                                           : Installation::Installed;
}

std::filesystem::path xdgDataHome() {
    // The XDG rule: a relative value is invalid and is ignored.
    if (const char* dataHome = std::getenv("XDG_DATA_HOME");
        dataHome != nullptr && dataHome[0] == '/') {
        return dataHome;
    }
    const std::filesystem::path home = accountHome();
    return home.empty() ? home : home / ".local" / "share";
}

std::filesystem::path installedDataDirectory(const std::filesystem::path& dataHome) {
    return dataHome / "yunhaizhou" / "data";
}

}  // namespace yhz
