#include "base/program_values.h"

#include <malloc.h>

#include <filesystem>
#include <system_error>

#include "base/installation.h"

namespace yhz {

std::string programDirectory() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return std::filesystem::current_path(ec).string();
    }
    return exe.parent_path().string();
}

std::string dataDirectory() {
    const std::string folder = programDirectory();
    // An installed program cannot write beside itself (or must not: root
    // can); its files go where the desktop keeps each user's data.
    if (installationOf(folder) == Installation::Installed) {
        if (const std::filesystem::path home = xdgDataHome(); !home.empty()) {
            return installedDataDirectory(home).string();
        }
    }
    return folder + "/data";
}

void ensureDirectory(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return;
    }
    std::filesystem::create_directories(path, ec);
}

void trimWorkingSet() {
    malloc_trim(0);
}

}  // namespace yhz
