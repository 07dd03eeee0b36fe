#include "update/program_start.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

extern char** environ;

namespace yhz {

bool startProgram(const std::string& path, std::chrono::milliseconds watch, std::stop_token stop) {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    if (posix_spawnattr_init(&attr) != 0) {
        return false;
    }
    if (posix_spawn_file_actions_init(&actions) != 0) {
        posix_spawnattr_destroy(&attr);
        return false;
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
    if (!ready) {
        return false;
    }

    const auto until = std::chrono::steady_clock::now() + watch;
    while (std::chrono::steady_clock::now() < until && !stop.stop_requested()) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (ended < 0) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace yhz
