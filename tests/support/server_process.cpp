#include "support/server_process.h"

#include <sys/wait.h>

#include <chrono>
#include <regex>

namespace yhz::testing {

using namespace std::chrono_literals;

ServerProcess::ServerProcess(const std::vector<std::string>& argv, const std::string& portPattern)
    : ChildProcess(argv) {
    std::smatch m;
    if (waitForOutput("\n", 60s) && std::regex_search(output(), m, std::regex(portPattern)))
        port_ = std::stoi(m[1].str());
}

::testing::AssertionResult ServerProcess::endsPromptlyOnSigterm() {
    const auto ended = terminate(5s);
    if (!ended)
        return ::testing::AssertionFailure() << "still running 5 s after SIGTERM";
    if (ended->after >= 2s)
        return ::testing::AssertionFailure()
               << "ended " << ended->after.count() << " ms after SIGTERM";
    if (!WIFEXITED(ended->status) || WEXITSTATUS(ended->status) != 0)
        return ::testing::AssertionFailure() << "exit status " << ended->status;
    return ::testing::AssertionSuccess();
}

}  // namespace yhz::testing
