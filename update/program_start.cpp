#include "update/program_start.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

extern char** environ;

namespace yhz {

namespace {

bool present(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Ends a program that did not confirm in time, and reaps it.
void endProgram(pid_t pid) {
    ::kill(pid, SIGTERM);
    for (int k = 0; k < 50; ++k) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

pid_t spawnProgram(const std::string& path) {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    if (posix_spawnattr_init(&attr) != 0) {
        return -1;
    }
    if (posix_spawn_file_actions_init(&actions) != 0) {
        posix_spawnattr_destroy(&attr);
        return -1;
    }
    // This process ignores SIGPIPE for its network code; the new program
    // starts with the default, and outlives this process's session.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    bool ready = posix_spawnattr_setsigdefault(&attr, &defaults) == 0 &&
                 posix_spawnattr_setsigmask(&attr, &unblocked) == 0 &&
                 posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF |
                                                     POSIX_SPAWN_SETSIGMASK) == 0 &&
                 posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0;

    std::string program = path;
    std::vector<char*> argv{program.data(), nullptr};
    pid_t pid = -1;
    // The exec itself happens before posix_spawn returns, so a file that is
    // no program fails here.
    ready = ready && posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return ready ? pid : -1;
}

}  // namespace

bool startConfirmedProgram(const std::string& path, const std::string& confirmation,
                           std::chrono::milliseconds bound, std::stop_token stop) {
    const pid_t pid = spawnProgram(path);
    if (pid < 0) {
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + bound;
    while (!stop.stop_requested() && std::chrono::steady_clock::now() < until) {
        if (present(confirmation)) {
            return true;
        }
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            // Ended: it counts only if it confirmed on its way out.
            return present(confirmation);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (present(confirmation)) {
        return true;
    }
    endProgram(pid);
    return false;
}

}  // namespace yhz
