#pragma once
// A demo server program run as a process of its own: started, its port read
// from the first line it prints, and how it takes SIGTERM.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/raw_client.h"

namespace yhz::testing {

class ServerProcess : public ChildProcess {
public:
    // Starts the program and waits for its first line; `portPattern` finds
    // the port in it (its first group).
    ServerProcess(const std::vector<std::string>& argv, const std::string& portPattern);

    // 0 when the first line did not come in time or named no port; output()
    // then shows what the program said.
    int port() const { return port_; }

    // SIGTERM ends it within two seconds, with exit status 0.
    ::testing::AssertionResult endsPromptlyOnSigterm();

private:
    int port_ = 0;
};

}  // namespace yhz::testing
