#pragma once
// Starting the new program as a process of its own, and waiting until it
// says that it runs.

#include <chrono>
#include <stop_token>
#include <string>

namespace yhz {

// How long a new program has to show its main window: a slow machine
// starting a browser engine takes seconds.
inline constexpr std::chrono::seconds kStartConfirmationBound{20};

// Starts the program file `path` in a session of its own, with none of this
// process's open files, and waits until the file `confirmation` appears
// (the new program makes it once its main window shows). True then. False
// when the start fails, the program ends before it confirms, `bound` runs
// out, or `stop` is asked for; a program still running then is ended, so
// that the old one can take its place again.
bool startConfirmedProgram(const std::string& path, const std::string& confirmation,
                           std::chrono::milliseconds bound = kStartConfirmationBound,
                           std::stop_token stop = {});

}  // namespace yhz
