#include "base/installation.h"

#include <system_error>

#include "platform/files.h"

namespace yhz {

Installation installationOf(const std::filesystem::path& programFolder) {
    std::error_code ec;
    if (std::filesystem::exists(programFolder / kPackageMarker, ec)) {
        return Installation::Installed;
    }
    return platform::folderWritable(platform::utf8Text(programFolder)) ? Installation::Portable
                                                                       : Installation::Installed;
}

std::filesystem::path xdgDataHome() {
    return platform::userDataHome();
}

std::filesystem::path installedDataDirectory(const std::filesystem::path& dataHome) {
    return dataHome / "yunhaizhou" / "data";
}

}  // namespace yhz
