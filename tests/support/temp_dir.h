#pragma once
// Files for tests: a fresh folder under the system's temporary directory,
// removed with its content when the test is done, and reading a file whole.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace yhz::testing {

class TempDir {
public:
    explicit TempDir(const std::string& stem) {
        path_ = makeFolder(std::filesystem::temp_directory_path() / (stem + "-"));
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    // A new folder named `prefix` and six more characters.
    static std::filesystem::path makeFolder(const std::filesystem::path& prefix);

    std::filesystem::path path_;
};

// The whole content of a file, "" when it cannot be read. Read by its size,
// not through stream iterators, which GCC's -O2 flow analysis warns about.
std::string readFile(const std::filesystem::path& path);

// Opens a TCP connection to the loopback port, writes `bytes` and closes it
// (not in the Windows build, which has no loopback servers).
bool sendRaw(int port, const std::string& bytes);

}  // namespace yhz::testing
