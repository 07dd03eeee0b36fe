#pragma once
// Files for tests: a fresh folder under the system's temporary directory,
// removed with its content when the test is done, and reading a file whole.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace yhz::testing {

class TempDir {
public:
    explicit TempDir(const std::string& stem) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The whole content of a file, "" when it cannot be read. Read by its size,
// not through stream iterators, which GCC's -O2 flow analysis warns about.
std::string readFile(const std::filesystem::path& path);

// Opens a TCP connection to the loopback port, writes `bytes` and closes it.
bool sendRaw(int port, const std::string& bytes);

}  // namespace yhz::testing
