#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/files.h"

namespace yhz::platform {

FileKind fileKind(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return FileKind::Missing;
    }
    if (S_ISLNK(st.st_mode)) {
        return FileKind::Link;
    }
    if (S_ISDIR(st.st_mode)) {
        return FileKind::Folder;
    }
    return S_ISREG(st.st_mode) ? FileKind::File : FileKind::Other;
}

int openFile(const std::string& path, OpenMode mode, unsigned permissions) {
    int flags = O_CLOEXEC | O_NOFOLLOW;
    switch (mode) {
        case OpenMode::Read:
            flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
            break;
        case OpenMode::Write:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
        case OpenMode::WriteNew:
            flags |= O_WRONLY | O_CREAT | O_EXCL;
            break;
        case OpenMode::Append:
            flags |= O_WRONLY | O_CREAT | O_APPEND;
            break;
        case OpenMode::Keep:
            flags |= O_WRONLY | O_CREAT;
            break;
    }
    return ::open(path.c_str(), flags, static_cast<mode_t>(permissions));
}

long long writeFile(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

long long readFileAt(int fd, void* data, std::size_t size, std::uint64_t offset) {
    return ::pread(fd, data, size, static_cast<off_t>(offset));
}

std::optional<std::uint64_t> regularFileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

bool syncFile(int fd) {
    return ::fsync(fd) == 0;
}

bool closeFile(int fd) {
    return ::close(fd) == 0;
}

bool tryLockFile(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool makeFolder(const std::string& path, unsigned permissions) {
    return ::mkdir(path.c_str(), static_cast<mode_t>(permissions)) == 0;
}

bool removeEmptyFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool renameFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string makeUniqueFolder(const std::string& prefix) {
    std::string name = prefix + "XXXXXX";
    return ::mkdtemp(name.data()) != nullptr ? name : std::string();
}

void makeExecutable(const std::string& path) {
    ::chmod(path.c_str(), 0755);
}

bool folderWritable(const std::string& folder) {
    // The mode bits do not tell: root passes access(2) even where nothing
    // can be made (/proc), and a read-only mount or an access list decides
    // too. A folder made there and removed again tells.
    const std::string probe = makeUniqueFolder(folder + "/.yhz-write-");
    return !probe.empty() && removeEmptyFolder(probe);
}

std::filesystem::path userDataHome() {
    // The XDG rule: a relative value is invalid and is ignored.
    if (const char* dataHome = std::getenv("XDG_DATA_HOME");
        dataHome != nullptr && dataHome[0] == '/') {
        return dataHome;
    }
    std::filesystem::path home;
    if (const char* value = std::getenv("HOME"); value != nullptr && value[0] == '/') {
        home = value;
    } else {
        passwd entry{};
        passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
            home = found->pw_dir;
        }
    }
    return home.empty() ? home : home / ".local" / "share";
}

}  // namespace yhz::platform
