#include "base/program_values.h"

#include <filesystem>
#include <system_error>

#include "base/installation.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/working_set.h"

namespace yhz {

std::string programDirectory() {
    const std::string exe = platform::runningProgramPath();
    if (exe.empty()) {
        std::error_code ec;
        return platform::utf8Text(std::filesystem::current_path(ec));
    }
    return platform::utf8Text(platform::utf8Path(exe).parent_path());
}

std::string dataDirectory() {
    const std::string folder = programDirectory();
    // An installed program cannot write beside itself (or must not: root
    // can); its files go where the desktop keeps each user's data.
    if (installationOf(folder) == Installation::Installed) {
        if (const std::filesystem::path home = xdgDataHome(); !home.empty()) {
            return platform::utf8Text(installedDataDirectory(home));
        }
    }
    return folder + "/data";
}

void ensureDirectory(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path folder = platform::utf8Path(path);
    if (std::filesystem::is_directory(folder, ec)) {
        return;
    }
    std::filesystem::create_directories(folder, ec);
}

void trimWorkingSet() {
    platform::trimWorkingSet();
}

}  // namespace yhz
