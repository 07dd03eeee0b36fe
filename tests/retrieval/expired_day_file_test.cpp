#include "retrieval/expired_day_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "support/temp_dir.h"
#include "text/encoding.h"

namespace yhz {
namespace {

using testing::TempDir;

using yhz::testing::readFile;

void writeAll(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(ExpiredDayFile, nameOfDateOfficeAndPlateType) {
    EXPECT_TRUE(std::regex_match(todayText(), std::regex(R"(\d{4}-\d\d-\d\d)")));
    const std::filesystem::path folder = "/data";
    EXPECT_EQ(expiredDayFilePath(folder, "2024-05-01", "320900000400", "02"),
              folder / "2024-05-0132090000040002.txt");
    // A GBK value is named in the file system's UTF-8.
    EXPECT_EQ(expiredDayFilePath(folder, "2024-05-01", gbk("车管所"), "52"),
              folder / u8"2024-05-01车管所52.txt");
}

TEST(ExpiredDayFile, valuesThatCouldLeaveTheFolderAreRefused) {
    const std::filesystem::path folder = "/data";
    for (const std::string& hostile :
         {std::string("../x"), std::string(".."), std::string("a/b"), std::string("a\\b"),
          std::string("C:"), std::string("x\ny"), std::string("a*"), std::string("a|b"),
          std::string("\"q\""), std::string("<a>"), std::string("a?"), std::string(""),
          std::string("\x7f"), std::string(300, '1'),
          // A lead byte without its follower converts to "?".
          std::string("\x81")}) {
        EXPECT_EQ(expiredDayFilePath(folder, "2024-05-01", hostile, "02"), std::nullopt) << hostile;
        EXPECT_EQ(expiredDayFilePath(folder, "2024-05-01", "1", hostile), std::nullopt) << hostile;
    }
    // A GBK character whose second byte is the backslash is a character.
    EXPECT_TRUE(expiredDayFilePath(folder, "2024-05-01", gbk("乗"), "02"));
}

TEST(ExpiredDayFile, writtenWholeReadBackLineByLine) {
    TempDir dir("yhz-day-file");
    const std::filesystem::path file = dir.path() / "2024-05-011002.txt";
    EXPECT_EQ(readExpiredDayFile(file), std::nullopt);

    const std::vector<std::string> plates = {gbk("苏J12345"), "", gbk("苏JF71498")};
    ASSERT_TRUE(writeExpiredDayFile(file, plates));
    EXPECT_EQ(readFile(file), gbk("苏J12345") + "\r\n\r\n" + gbk("苏JF71498") + "\r\n");
    EXPECT_EQ(readExpiredDayFile(file), plates);

    // Replaced whole; nothing else is left in the folder.
    ASSERT_TRUE(writeExpiredDayFile(file, {"A"}));
    EXPECT_EQ(readFile(file), "A\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // A lone LF is not a line end; a zero byte ends the text.
    writeAll(file, std::string("a\nb\r\nc\0d\r\n", 11));
    EXPECT_EQ(readExpiredDayFile(file), (std::vector<std::string>{"a\nb", "c"}));

    // A folder that does not exist: nothing written, nothing left.
    EXPECT_FALSE(writeExpiredDayFile(dir.path() / "missing" / "f.txt", {"A"}));
}

TEST(ExpiredDayFile, onlyRegularFilesOfABoundedSizeAreRead) {
    TempDir dir("yhz-day-file");
#ifndef _WIN32  // making a link on Windows takes a privilege users lack
    const std::filesystem::path target = dir.path() / "elsewhere.txt";
    writeAll(target, "X\r\n");
    const std::filesystem::path link = dir.path() / "2024-05-011002.txt";
    std::filesystem::create_symlink(target, link);
    EXPECT_EQ(readExpiredDayFile(link), std::nullopt);
    // Writing replaces the link, not what it points to.
    ASSERT_TRUE(writeExpiredDayFile(link, {"Y"}));
    EXPECT_EQ(readFile(target), "X\r\n");
    EXPECT_EQ(readExpiredDayFile(link), std::vector<std::string>{"Y"});
#endif

    EXPECT_EQ(readExpiredDayFile(dir.path()), std::nullopt);
    const std::filesystem::path big = dir.path() / "big.txt";
    { std::ofstream(big, std::ios::binary); }
    std::filesystem::resize_file(big, kMaxDayFileBytes + 1);
    EXPECT_EQ(readExpiredDayFile(big), std::nullopt);
}

}  // namespace
}  // namespace yhz
