#pragma once
// Starting the new program as a process of its own, and waiting until it
// says that it runs.

#include <chrono>
#include <stop_token>
#include <string>
#include <string_view>

namespace yhz {

// How long a new program has to show its main window: a slow machine
// starting a browser engine takes seconds.
inline constexpr std::chrono::seconds kStartConfirmationBound{20};

// The argument that tells a new program which update started it: this
// text followed by the name of the update's folder in the program folder.
inline constexpr std::string_view kConfirmUpdateArgument = "--confirm-update=";

// Starts the program file `path` in a session of its own, with none of this
// process's open files and with kConfirmUpdateArgument naming the folder of
// `confirmation`, and waits until that file appears (the new program makes
// it once its own start checks pass). True then. False
// when the start fails, the program ends before it confirms, `bound` runs
// out, or `stop` is asked for; a program still running then is ended, so
// that the old one can take its place again.
bool startConfirmedProgram(const std::string& path, const std::string& confirmation,
                           std::chrono::milliseconds bound = kStartConfirmationBound,
                           std::stop_token stop = {});

}  // namespace yhz
