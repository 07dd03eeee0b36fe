#include "update/rename_journal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace yhz {

bool RenameJournal::move(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    steps_.push_back({from, to});
    return true;
}

bool RenameJournal::makeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0) {
        steps_.push_back({std::string(), path});
        return true;
    }
    struct stat st {};
    return errno == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RenameJournal::rollBack() {
    bool all = true;
    for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
        const bool undone = step->from.empty()
                                ? ::rmdir(step->to.c_str()) == 0
                                : std::rename(step->to.c_str(), step->from.c_str()) == 0;
        all = all && undone;
    }
    steps_.clear();
    return all;
}

}  // namespace yhz
