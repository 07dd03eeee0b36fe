// The watch list's file: what a write leaves, what a read takes, and what it
// refuses whole.

#include "plates/watch_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"
#include "text/encoding.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;

void put(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(WatchFile, WrittenWholeReadBackAndTornWritesLeaveTheListAsItWas) {
    testing::TempDir dir("yhz-watch-file");
    const fs::path file = dir.path() / "watch.txt";
    EXPECT_EQ(readWatchFile(file).status, WatchFileStatus::Missing);

    const std::vector<std::string> plates = {gbk("粤B12345"), gbk("粤BD12345"), "A 1"};
    ASSERT_TRUE(writeWatchFile(file, plates));
    EXPECT_EQ(testing::readFile(file), gbk("粤B12345\r\n粤BD12345\r\nA 1\r\n"));
    WatchFileContent read = readWatchFile(file);
    EXPECT_EQ(read.status, WatchFileStatus::Read);
    EXPECT_EQ(read.plates, plates);

    // A write cut short leaves its own file beside the list, never a part of
    // the list; the next start removes it.
    put(fs::path(file.string() + ".tmp99-0"), gbk("粤B1"));
    EXPECT_EQ(readWatchFile(file).plates, plates);
    removeTornWatchWrites(file);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // A write that cannot happen keeps the old list.
    EXPECT_FALSE(writeWatchFile(dir.path() / "no-such-folder" / "watch.txt", plates));
    ASSERT_TRUE(writeWatchFile(file, {}));
    read = readWatchFile(file);
    EXPECT_EQ(read.status, WatchFileStatus::Read);
    EXPECT_TRUE(read.plates.empty());
}

TEST(WatchFile, AnythingTheProgramCouldNotHaveWrittenIsRefusedWholeAndSetAside) {
    testing::TempDir dir("yhz-watch-file");
    const fs::path file = dir.path() / "watch.txt";
    std::string tooMany;
    for (size_t k = 0; k <= kMaxWatchedPlates; ++k) {
        tooMany += "B" + std::to_string(k) + "\r\n";
    }
    const struct {
        const char* what;
        std::string bytes;
    } refused[] = {
        {"cut in a plate", gbk("粤B12345\r\n粤B1")},
        {"cut in a character", gbk("粤B12345\r\n") + gbk("粤").substr(0, 1) + "\r\n"},
        {"a zero byte", std::string("B1\r\nB\0\r\n", 7)},
        {"an empty line", "B1\r\n\r\nB2\r\n"},
        {"LF line ends", "B1\nB2\n"},
        {"a control character", "B\t1\r\n"},
        {"a line too long", std::string(kMaxWatchLineBytes + 1, 'B') + "\r\n"},
        {"too many plates", tooMany},
        {"a lone lead byte", "B1\x80\r\n"},
    };
    for (const auto& c : refused) {
        put(file, c.bytes);
        const WatchFileContent read = readWatchFile(file);
        EXPECT_EQ(read.status, WatchFileStatus::Refused) << c.what;
        EXPECT_TRUE(read.plates.empty()) << c.what;
    }
    fs::create_directory(dir.path() / "folder.txt");
    EXPECT_EQ(readWatchFile(dir.path() / "folder.txt").status, WatchFileStatus::Refused);

    // Set aside under a new name each time, with every byte it held.
    const fs::path first = setWatchFileAside(file);
    ASSERT_EQ(first, fs::path(file.string() + ".refused-1"));
    EXPECT_EQ(testing::readFile(first), refused[std::size(refused) - 1].bytes);
    put(file, "x");
    EXPECT_EQ(setWatchFileAside(file), fs::path(file.string() + ".refused-2"));
    EXPECT_FALSE(fs::exists(file));

    // Duplicates are read once.
    put(file, gbk("B1\r\n粤B1\r\nB1\r\n"));
    EXPECT_EQ(readWatchFile(file).plates, (std::vector<std::string>{"B1", gbk("粤B1")}));
}

}  // namespace
}  // namespace yhz
