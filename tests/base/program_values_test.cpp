#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/program_values.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr const char* kProgramSuffix = ".exe";
#else
constexpr const char* kProgramSuffix = "";
#endif

TEST(ProgramValues, DataDirectoryIsNextToTheExecutable) {
    const std::string dir = programDirectory();
    EXPECT_TRUE(fs::exists(fs::path(dir) / (std::string("base_tests") + kProgramSuffix)));
    EXPECT_EQ(dataDirectory(), dir + "/data");
}

TEST(ProgramValues, EnsureDirectoryMakesMissingParentsAndSurvivesObstacles) {
    const fs::path root = fs::temp_directory_path() / ("yhz-dirs-" + std::to_string(::getpid()));
    fs::remove_all(root);
    ensureDirectory((root / "a" / "b").string() + "/");
    EXPECT_TRUE(fs::is_directory(root / "a" / "b"));
    ensureDirectory((root / "a" / "b").string());  // already there: nothing happens

    // A file in the way: no throw, no report, the file is untouched.
    std::ofstream(root / "data") << "keep";
    ensureDirectory((root / "data").string() + "/");
    EXPECT_TRUE(fs::is_regular_file(root / "data"));
    fs::remove_all(root);
}

TEST(ProgramValues, TrimWorkingSetIsSafeFromManyThreads) {
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; ++k) {
        threads.emplace_back(trimWorkingSet);
    }
    for (auto& t : threads) {
        t.join();
    }
    SUCCEED();
}

}  // namespace
}  // namespace yhz
