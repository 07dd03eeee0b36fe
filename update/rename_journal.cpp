#include "update/rename_journal.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/files.h"

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

constexpr const char* kMove = "move";
constexpr const char* kFolder = "folder";
constexpr const char* kStart = "start";
constexpr const char* kDone = "done";

}  // namespace

RenameJournal::RenameJournal(std::string file) : file_(std::move(file)) {
    fd_ = platform::openFile(file_, platform::OpenMode::Append, 0600);
    if (fd_ >= 0 && !platform::tryLockFile(fd_)) {
        platform::closeFile(fd_);
        fd_ = -1;
    }
}

RenameJournal::~RenameJournal() {
    if (fd_ >= 0) {
        platform::closeFile(fd_);  // lets the lock go
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

bool RenameJournal::append(const std::string& line) {
    if (fd_ < 0) {
        return false;
    }
    const std::string text = line + "\n";
    // On disk before the step is taken: a power loss right after the rename
    // must find it recorded.
    return platform::writeWholeFile(fd_, text.data(), text.size()) && platform::syncFile(fd_);
}

bool RenameJournal::move(const std::string& from, const std::string& to) {
    if (!append(std::string(kMove) + "\t" + escaped(from) + "\t" + escaped(to)) ||
        !platform::renameFile(from, to)) {
        return false;
    }
    done_.push_back({Step::Move, from, to});
    return true;
}

bool RenameJournal::makeFolder(const std::string& path) {
    if (const platform::FileKind kind = platform::fileKind(path);
        kind != platform::FileKind::Missing) {
        return kind == platform::FileKind::Folder;
    }
    if (!append(std::string(kFolder) + "\t" + escaped(path)) || !platform::makeFolder(path)) {
        return false;
    }
    done_.push_back({Step::Folder, {}, path});
    return true;
}

bool RenameJournal::noteStart(const std::string& path) {
    return append(std::string(kStart) + "\t" + escaped(path));
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

std::vector<RenameJournal::Step> RenameJournal::read(const std::string& file) {
    std::vector<Step> steps;
    std::ifstream in(platform::utf8Path(file), std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::vector<std::string> fields;
        std::stringstream line(text.substr(start, end - start));
        for (std::string field; std::getline(line, field, '\t');) {
            fields.push_back(unescaped(field));
        }
        if (fields.size() == 3 && fields[0] == kMove) {
            steps.push_back({Step::Move, fields[1], fields[2]});
        } else if (fields.size() == 2 && fields[0] == kFolder) {
            steps.push_back({Step::Folder, {}, fields[1]});
        } else if (fields.size() == 2 && fields[0] == kStart) {
            steps.push_back({Step::Start, {}, fields[1]});
        } else if (fields.size() == 1 && fields[0] == kDone) {
            steps.push_back({Step::Done, {}, {}});
        }
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
        }
    }
    return all;
}

}  // namespace yhz
