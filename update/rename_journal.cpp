#include "update/rename_journal.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/files.h"
#include "update/package_archive.h"
#include "update/update_paths.h"

namespace yhz {
namespace {

// Paths are written escaped, so that no name can end a line or a field.
std::string escaped(const std::string& path) {
    std::string out;
    for (const char c : path) {
        if (c == '%' || c == '\n' || c == '\r' || c == '\t') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescaped(const std::string& text) {
    std::string out;
    for (std::size_t k = 0; k < text.size(); ++k) {
        unsigned value = 0;
        if (text[k] == '%' && k + 2 < text.size() &&
            std::sscanf(text.c_str() + k + 1, "%2x", &value) == 1) {
            out += static_cast<char>(value);
            k += 2;
        } else {
            out += text[k];
        }
    }
    return out;
}

bool exists(const std::string& path) {
    return platform::fileKind(path) != platform::FileKind::Missing;
}

void removeIfEmptyFolder(const std::string& path) {
    if (platform::fileKind(path) == platform::FileKind::Folder) {
        platform::removeEmptyFolder(path);
    }
}

// A relative name that stays inside the folder it is read against, written
// as an unpacked entry's name is: "/"-separated, no root or drive, no empty,
// "." or ".." part, no control byte.
bool confined(const std::string& relative) {
    return safeEntryPath(relative) == relative;
}

std::atomic<RenameJournal::PointObserver> pointObserver{nullptr};

constexpr const char* kPackage = "package";
constexpr const char* kMove = "move";
constexpr const char* kFolder = "folder";
constexpr const char* kStart = "start";
constexpr const char* kDone = "done";

}  // namespace

void RenameJournal::observePoints(PointObserver observer) {
    pointObserver.store(observer);
}

RenameJournal::RenameJournal(std::string folder, std::string file)
    : folder_(std::move(folder)), file_(std::move(file)) {
    fd_ = platform::openFile(file_, platform::OpenMode::Append, 0600);
    if (fd_ >= 0 && !platform::tryLockFile(fd_)) {
        platform::closeFile(fd_);
        fd_ = -1;
    }
}

RenameJournal::~RenameJournal() {
    close();
}

void RenameJournal::close() {
    if (fd_ >= 0) {
        platform::closeFile(fd_);  // lets the lock go
        fd_ = -1;
    }
}

bool RenameJournal::inUse(const std::string& file) {
    if (platform::fileKind(file) != platform::FileKind::File) {
        return false;
    }
    const int fd = platform::openFile(file, platform::OpenMode::Read);
    if (fd < 0) {
        return false;
    }
    const bool locked = !platform::tryLockFile(fd);
    platform::closeFile(fd);
    return locked;
}

void RenameJournal::passPoint() {
    static std::atomic<int> passed{0};
    if (const PointObserver observer = pointObserver.load()) {
        observer(++passed);
    }
}

bool RenameJournal::append(const std::string& line) {
    if (fd_ < 0) {
        return false;
    }
    const std::string text = line + "\n";
    // On disk before the step is taken: a power loss right after the rename
    // must find it recorded.
    if (!platform::writeWholeFile(fd_, text.data(), text.size()) || !platform::syncFile(fd_)) {
        return false;
    }
    passPoint();
    return true;
}

std::optional<std::string> RenameJournal::relative(const std::string& path) const {
    if (!insideFolder(path, folder_)) {
        return std::nullopt;
    }
    const std::filesystem::path inner = platform::utf8Path(path).lexically_normal();
    const std::filesystem::path outer = platform::utf8Path(folder_).lexically_normal();
    const std::u8string generic = inner.lexically_relative(outer).generic_u8string();
    const std::string text(reinterpret_cast<const char*>(generic.data()), generic.size());
    if (!confined(text)) {
        return std::nullopt;
    }
    return escaped(text);
}

bool RenameJournal::notePackage(const std::string& path) {
    const auto name = relative(path);
    return name && append(std::string(kPackage) + "\t" + *name);
}

bool RenameJournal::move(const std::string& from, const std::string& to) {
    const auto source = relative(from);
    const auto target = relative(to);
    if (!source || !target || !append(std::string(kMove) + "\t" + *source + "\t" + *target) ||
        !platform::renameFile(from, to)) {
        return false;
    }
    done_.push_back({Step::Move, from, to, {}});
    passPoint();
    return true;
}

bool RenameJournal::makeFolder(const std::string& path) {
    if (const platform::FileKind kind = platform::fileKind(path);
        kind != platform::FileKind::Missing) {
        return kind == platform::FileKind::Folder;
    }
    const auto name = relative(path);
    if (!name || !append(std::string(kFolder) + "\t" + *name) || !platform::makeFolder(path)) {
        return false;
    }
    done_.push_back({Step::Folder, {}, path, {}});
    passPoint();
    return true;
}

bool RenameJournal::noteStart(const std::string& path, const std::string& version) {
    const auto name = relative(path);
    return name && append(std::string(kStart) + "\t" + *name + "\t" + escaped(version));
}

bool RenameJournal::commit() {
    done_.clear();
    return append(kDone);
}

bool RenameJournal::rollBack() {
    std::vector<Step> steps;
    steps.swap(done_);
    return undo(steps);
}

std::optional<std::vector<RenameJournal::Step>> RenameJournal::read(const std::string& file) {
    std::vector<Step> steps;
    const platform::FileKind kind = platform::fileKind(file);
    if (kind == platform::FileKind::Missing) {
        return steps;
    }
    if (kind != platform::FileKind::File) {
        return std::nullopt;
    }
    // Opened without waiting and measured on the open file, so that a pipe
    // put there meanwhile is refused rather than waited on.
    const int fd = platform::openFile(file, platform::OpenMode::Read);
    if (fd < 0) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> size = platform::regularFileSize(fd);
    std::string text;
    bool whole = size && *size <= kMaxBytes;
    if (whole) {
        text.resize(static_cast<std::size_t>(*size));
        std::size_t got = 0;
        while (got < text.size()) {
            const long long n = platform::readFileAt(fd, text.data() + got, text.size() - got, got);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        whole = got == text.size();
    }
    platform::closeFile(fd);
    if (!whole) {
        return std::nullopt;
    }

    const std::filesystem::path folder = platform::utf8Path(file).parent_path().parent_path();
    bool outside = false;
    auto inFolder = [&](const std::string& field) {
        const std::string name = unescaped(field);
        if (!confined(name)) {
            outside = true;
            return std::string();
        }
        return platform::utf8Text(folder / platform::utf8Path(name));
    };
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::vector<std::string> fields;
        std::stringstream line(text.substr(start, end - start));
        for (std::string field; std::getline(line, field, '\t');) {
            fields.push_back(field);
        }
        if (fields.size() == 2 && fields[0] == kPackage) {
            steps.push_back({Step::Package, {}, inFolder(fields[1]), {}});
        } else if (fields.size() == 3 && fields[0] == kMove) {
            steps.push_back({Step::Move, inFolder(fields[1]), inFolder(fields[2]), {}});
        } else if (fields.size() == 2 && fields[0] == kFolder) {
            steps.push_back({Step::Folder, {}, inFolder(fields[1]), {}});
        } else if (fields.size() == 3 && fields[0] == kStart) {
            steps.push_back({Step::Start, {}, inFolder(fields[1]), unescaped(fields[2])});
        } else if (fields.size() == 1 && fields[0] == kDone) {
            steps.push_back({Step::Done, {}, {}, {}});
        }
    }
    if (outside) {
        return std::nullopt;
    }
    return steps;
}

bool RenameJournal::undo(const std::vector<Step>& steps) {
    bool all = true;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        if (step->kind == Step::Folder) {
            // Left alone when something else is in it now: nothing is lost.
            removeIfEmptyFolder(step->to);
        } else if (step->kind == Step::Move) {
            const bool happened = exists(step->to) && !exists(step->from);
            if (happened && !platform::renameFile(step->to, step->from)) {
                all = false;
            }
        } else if (step->kind == Step::Package) {
            // Only ever the downloaded package (or a part of it).
            if (platform::fileKind(step->to) == platform::FileKind::File) {
                platform::removeFile(step->to);
            }
        }
    }
    return all;
}

}  // namespace yhz
