#include "platform/files.h"

#include <atomic>
#include <cerrno>

#include "platform/process.h"

namespace yhz::platform {

std::filesystem::path utf8Path(std::string_view utf8) {
    // A char8_t text is UTF-8 on every system; a plain one would be read in
    // the Windows ANSI code page.
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

bool writeWholeFile(int fd, const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const long long written = writeFile(fd, next, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;  // an error, or a write that makes no progress
        }
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool replaceFileWith(const std::string& path, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    const std::string temporary =
        path + ".tmp" + std::to_string(processId()) + "-" + std::to_string(counter.fetch_add(1));
    // Never written through a name that something else already holds.
    const int out = openFile(temporary, OpenMode::WriteNew, 0666);
    if (out < 0) {
        return false;
    }
    bool ok = writeWholeFile(out, bytes.data(), bytes.size());
    ok = syncFile(out) && ok;
    ok = closeFile(out) && ok;
    ok = ok && renameFile(temporary, path);
    if (!ok) {
        removeFile(temporary);
    }
    return ok;
}

}  // namespace yhz::platform
