// The update package reader on any bytes: the archive is written to a
// temporary folder and unpacked into an empty one beside it. Whatever the
// bytes, nothing lands outside that folder, nothing there is a link, and an
// archive that is refused leaves no list of files behind.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "update/package_archive.h"

namespace {

namespace fs = std::filesystem;

using yhz::fuzz::check;

struct Place {
    fs::path root;
    Place() {
        std::string pattern = (fs::temp_directory_path() / "yhz-archive-fuzz-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr);
        root = pattern;
    }
    ~Place() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

std::string relativeName(const fs::path& path, const fs::path& base) {
    return path.lexically_relative(base).generic_string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Place place;
    const fs::path archive = place.root / "package.zip";
    const fs::path folder = place.root / "unpacked";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        check(static_cast<bool>(out));
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    check(fs::create_directory(folder));

    // Small bounds keep a bomb from filling the disk between runs.
    const yhz::UnpackResult result = yhz::unpackArchive(
        archive.string(), folder.string(), {}, {.maxEntries = 64, .maxTotalBytes = 1 << 20});

    for (const fs::directory_entry& entry : fs::directory_iterator(place.root)) {
        check(entry.path() == archive || entry.path() == folder);
    }
    std::set<std::string> files;
    std::set<std::string> directories;
    for (auto it = fs::recursive_directory_iterator(folder);
         it != fs::recursive_directory_iterator(); ++it) {
        const fs::file_status status = it->symlink_status();
        check(fs::is_regular_file(status) || fs::is_directory(status));
        (fs::is_directory(status) ? directories : files).insert(relativeName(it->path(), folder));
    }
    if (result.ok()) {
        check(files == std::set<std::string>(result.files.begin(), result.files.end()));
        for (const std::string& d : result.directories) {
            check(directories.count(d) == 1);
        }
    } else {
        check(result.files.empty() && result.directories.empty());
    }

    // The name rules alone, on the same bytes taken as a name.
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    if (const std::optional<std::string> path = yhz::safeEntryPath(name)) {
        check(!path->empty() && path->front() != '/' && path->find('\\') == std::string::npos);
        check(path->find(':') == std::string::npos && path->find('\0') == std::string::npos);
        for (const auto& part : fs::path(*path)) {
            check(part != ".." && part != ".");
        }
    }
    (void)yhz::entryNameUtf8(name, false, name);
    return 0;
}
