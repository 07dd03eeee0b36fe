#include <windows.h>

#include <vector>

#include "platform/files.h"
#include "platform/process.h"

namespace yhz::platform {
namespace {

HANDLE handleOf(Program program) {
    return reinterpret_cast<HANDLE>(program);
}

// Starts `commandLine` (CreateProcessW may write into it) without inheriting
// a handle; the process handle, or kNoProgram.
Program start(const wchar_t* application, std::wstring commandLine, DWORD flags, WORD show) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(application, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &startup, &started)) {
        return kNoProgram;
    }
    CloseHandle(started.hThread);
    return reinterpret_cast<Program>(started.hProcess);
}

}  // namespace

std::string runningProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return utf8Text(std::filesystem::path(std::wstring(buffer.data(), n)));
        }
        buffer.resize(buffer.size() * 2);
    }
}

int processId() {
    return static_cast<int>(GetCurrentProcessId());
}

std::string machineName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) {
        return {};
    }
    return utf8Text(std::filesystem::path(std::wstring(name, size)));
}

Program startProgram(const std::string& path, const std::string& argument) {
    const std::wstring program = utf16Of(path);
    const std::wstring extra = utf16Of(argument);
    // An argument that is no valid UTF-8, or that a quote would split, is
    // not passed on as something else.
    if (program.empty() || extra.empty() != argument.empty() ||
        extra.find(L'"') != std::wstring::npos) {
        return kNoProgram;
    }
    // Quoted, so that a folder name with spaces stays one argument.
    std::wstring line = L"\"" + program + L"\"";
    if (!extra.empty()) {
        line += L" \"" + extra + L"\"";
    }
    return start(program.c_str(), line, CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT,
                 SW_SHOWNORMAL);
}

bool programEnded(Program program) {
    if (WaitForSingleObject(handleOf(program), 0) != WAIT_OBJECT_0) {
        return false;
    }
    CloseHandle(handleOf(program));
    return true;
}

void endProgram(Program program) {
    TerminateProcess(handleOf(program), 1);
    WaitForSingleObject(handleOf(program), 1000);
    CloseHandle(handleOf(program));
}

void releaseProgram(Program program) {
    CloseHandle(handleOf(program));
}

bool startHiddenCommand(const std::string& commandLine) {
    const std::wstring line = utf16Of(commandLine);
    if (line.empty()) {
        return false;
    }
    const Program started = start(nullptr, line, CREATE_NO_WINDOW, SW_HIDE);
    if (started == kNoProgram) {
        return false;
    }
    releaseProgram(started);
    return true;
}

}  // namespace yhz::platform
