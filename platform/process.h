#pragma once
// This process and the programs it starts: posix_spawn and signals on Linux,
// CreateProcessW and process handles on Windows.

#include <cstdint>
#include <string>

namespace yhz::platform {

// The running program's own file (UTF-8), "" when it cannot be told.
std::string runningProgramPath();

int processId();

// The machine's network name, "" when it has none.
std::string machineName();

// A started program: its process id on Linux, its process handle on Windows.
using Program = std::intptr_t;
inline constexpr Program kNoProgram = -1;

// Starts the program file `path`, with the one argument `argument` unless it
// is empty, in a session of its own and with none of this process's open
// files; kNoProgram when it cannot.
Program startProgram(const std::string& path, const std::string& argument = {});
// True, and the program forgotten, once it has ended.
bool programEnded(Program program);
// Ends the program (politely first) and forgets it.
void endProgram(Program program);
// Forgets a program that goes on running.
void releaseProgram(Program program);

// Starts a command line of the system's command interpreter without a window
// and without waiting (Windows); false where there is none to start it.
bool startHiddenCommand(const std::string& commandLine);

}  // namespace yhz::platform
