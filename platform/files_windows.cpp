#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <climits>
#include <cstdlib>
#include <random>

#include "platform/files.h"

namespace yhz::platform {
namespace {

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Six characters for a unique name, from a source nobody else shares.
std::string uniqueSuffix() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, 35);
    std::string out;
    for (int k = 0; k < 6; ++k) {
        out += kChars[pick(random)];
    }
    return out;
}

}  // namespace

std::wstring utf16Of(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (n <= 0) {
        return {};
    }
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, out.data(), n);
    return out;
}

FileKind fileKind(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(utf16Of(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return FileKind::Missing;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return FileKind::Link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder : FileKind::File;
}

int openFile(const std::string& path, OpenMode mode, unsigned /*permissions*/) {
    // A writer reads its own attributes below, which needs the right to.
    DWORD access = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
    DWORD disposition = OPEN_ALWAYS;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    int flags = _O_BINARY | _O_WRONLY;
    switch (mode) {
        case OpenMode::Read:
            access = GENERIC_READ;
            disposition = OPEN_EXISTING;
            // A folder or a device opens too, and is refused by what reads it.
            attributes = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS;
            flags = _O_BINARY | _O_RDONLY;
            break;
        case OpenMode::Write:
            disposition = CREATE_ALWAYS;
            break;
        case OpenMode::WriteNew:
            disposition = CREATE_NEW;
            break;
        case OpenMode::Append:
            access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
            flags |= _O_APPEND;
            break;
        case OpenMode::Keep:
            break;
    }
    // Shared like a POSIX file: others may read, write, rename or remove it
    // while it is open. A writer opens a link itself, and refuses it below.
    const HANDLE h = CreateFileW(utf16Of(path).c_str(), access,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 disposition, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (mode != OpenMode::Read && (!GetFileInformationByHandle(h, &info) ||
                                   (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT |
                                                             FILE_ATTRIBUTE_DIRECTORY)) != 0)) {
        CloseHandle(h);
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags);
    if (fd < 0) {
        CloseHandle(h);
    }
    return fd;
}

long long writeFile(int fd, const void* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

long long readFileAt(int fd, void* data, std::size_t size, std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(handleOf(fd), data, wanted, &got, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) {
            return 0;
        }
        errno = EIO;
        return -1;
    }
    return got;
}

std::optional<std::uint64_t> regularFileSize(int fd) {
    const HANDLE h = handleOf(fd);
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

bool syncFile(int fd) {
    return FlushFileBuffers(handleOf(fd)) != 0;
}

bool closeFile(int fd) {
    return _close(fd) == 0;
}

bool tryLockFile(int fd) {
    OVERLAPPED whole{};
    return LockFileEx(handleOf(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                      MAXDWORD, MAXDWORD, &whole) != 0;
}

bool makeFolder(const std::string& path, unsigned /*permissions*/) {
    return CreateDirectoryW(utf16Of(path).c_str(), nullptr) != 0;
}

bool removeEmptyFolder(const std::string& path) {
    return RemoveDirectoryW(utf16Of(path).c_str()) != 0;
}

bool removeFile(const std::string& path) {
    return DeleteFileW(utf16Of(path).c_str()) != 0;
}

bool renameFile(const std::string& from, const std::string& to) {
    return MoveFileExW(utf16Of(from).c_str(), utf16Of(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::string makeUniqueFolder(const std::string& prefix) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = prefix + uniqueSuffix();
        if (CreateDirectoryW(utf16Of(name).c_str(), nullptr)) {
            return name;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    return {};
}

void makeExecutable(const std::string& /*path*/) {}

bool folderWritable(const std::string& folder) {
    // The folder's access list decides, not its attributes: a probe tells.
    const std::string probe = folder + "/.yhz-write-" + uniqueSuffix();
    const HANDLE h = CreateFileW(utf16Of(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(h);
    return true;
}

std::filesystem::path userDataHome() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || local[0] == L'\0') {
        return {};
    }
    const std::filesystem::path home(local);
    return home.is_absolute() ? home : std::filesystem::path();
}

}  // namespace yhz::platform
