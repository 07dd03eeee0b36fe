#include "base/program_values.h"

#include <malloc.h>

#include <filesystem>
#include <system_error>

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
    return programDirectory() + "/data";
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
