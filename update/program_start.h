#pragma once
// Starting the new program as a process of its own.

#include <chrono>
#include <stop_token>
#include <string>

namespace yhz {

// Starts the program file `path` in a session of its own, with none of this
// process's open files. True when it runs: the start took, and the program
// has not ended with a failure within `watch` (a program whose libraries
// cannot be loaded ends at once). A stop ends the watch early; a program
// that has started by then counts as running.
bool startProgram(const std::string& path,
                  std::chrono::milliseconds watch = std::chrono::milliseconds(1000),
                  std::stop_token stop = {});

}  // namespace yhz
