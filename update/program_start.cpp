#include "update/program_start.h"

#include <thread>

#include "platform/files.h"
#include "platform/process.h"

namespace yhz {

namespace {

bool present(const std::string& path) {
    return platform::fileKind(path) != platform::FileKind::Missing;
}

}  // namespace

bool startConfirmedProgram(const std::string& path, const std::string& confirmation,
                           std::chrono::milliseconds bound, std::stop_token stop) {
    const std::string update =
        platform::utf8Text(platform::utf8Path(confirmation).parent_path().filename());
    const platform::Program program =
        platform::startProgram(path, std::string(kConfirmUpdateArgument) + update);
    if (program == platform::kNoProgram) {
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + bound;
    while (!stop.stop_requested() && std::chrono::steady_clock::now() < until) {
        if (present(confirmation)) {
            platform::releaseProgram(program);
            return true;
        }
        if (platform::programEnded(program)) {
            // Ended: it counts only if it confirmed on its way out.
            return present(confirmation);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (present(confirmation)) {
        platform::releaseProgram(program);
        return true;
    }
    platform::endProgram(program);
    return false;
}

}  // namespace yhz
