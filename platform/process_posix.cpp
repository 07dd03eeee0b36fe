#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/process.h"

extern char** environ;

namespace yhz::platform {

std::string runningProgramPath() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

int processId() {
    return static_cast<int>(::getpid());
}

std::string machineName() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

Program startProgram(const std::string& path, const std::string& argument) {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    if (posix_spawnattr_init(&attr) != 0) {
        return kNoProgram;
    }
    if (posix_spawn_file_actions_init(&actions) != 0) {
        posix_spawnattr_destroy(&attr);
        return kNoProgram;
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
    std::string first = argument;
    std::vector<char*> argv{program.data()};
    if (!first.empty()) {
        argv.push_back(first.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    // The exec itself happens before posix_spawn returns, so a file that is
    // no program fails here.
    ready = ready && posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return ready ? static_cast<Program>(pid) : kNoProgram;
}

bool programEnded(Program program) {
    const auto pid = static_cast<pid_t>(program);
    return ::waitpid(pid, nullptr, WNOHANG) == pid;
}

void endProgram(Program program) {
    const auto pid = static_cast<pid_t>(program);
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

void releaseProgram(Program /*program*/) {}

bool startHiddenCommand(const std::string& /*commandLine*/) {
    return false;
}

}  // namespace yhz::platform
