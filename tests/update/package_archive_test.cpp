#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"
#include "text/encoding.h"
#include "update/package_archive.h"
#include "zip_writer.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;
using test::ZipEntry;

using yhz::testing::readFile;

#ifndef _WIN32  // Windows files have no mode to carry
bool executable(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) != 0;
}
#endif

class Unpack : public ::testing::Test {
protected:
    UnpackResult unpack(const std::vector<ZipEntry>& entries, ArchiveLimits limits = {}) {
        EXPECT_TRUE(test::writeZip(archive_.string(), entries));
        return unpackArchive(archive_.string(), target_.string(), {}, limits);
    }
    bool targetEmpty() const { return fs::is_empty(target_); }

    testing::TempDir dir_{"yhz-unpack"};
    fs::path archive_ = dir_.path() / "package.zip";
    fs::path target_ = [this] {
        fs::create_directory(dir_.path() / "out");
        return dir_.path() / "out";
    }();
};

TEST(EntryPaths, namesThatLeaveOrNameTheFolderAreRefused) {
    EXPECT_EQ(safeEntryPath("a.txt"), "a.txt");
    EXPECT_EQ(safeEntryPath("lib/sub/a.txt"), "lib/sub/a.txt");
    EXPECT_EQ(safeEntryPath("lib\\a.txt"), "lib/a.txt");
    EXPECT_EQ(safeEntryPath("lib/"), "lib");
    EXPECT_EQ(safeEntryPath("a..b/c"), "a..b/c");
    for (const std::string& name : std::vector<std::string>{
             "", "/", "/etc/x", "\\x", "..", "../x", "a/../../x", "a\\..\\..\\x", "a/..", "./a",
             "a//b", "C:x", "c:\\x", "a/b:c", std::string("a\tb"), std::string("a\x7f")}) {
        EXPECT_FALSE(safeEntryPath(name).has_value()) << name;
    }
}

TEST(EntryPaths, namesAreReadAsTheArchiveSaysOrAsGbk) {
    const std::string utf8 = "云海舟";
    EXPECT_EQ(entryNameUtf8(utf8, true, ""), utf8);
    EXPECT_EQ(entryNameUtf8(utf8, false, ""), utf8);
    EXPECT_EQ(entryNameUtf8(gbk(utf8), false, ""), utf8);

    // Info-ZIP's Unicode path field counts only for the name it was made for.
    const std::string raw = "old-name";
    const uLong crc =
        crc32(0L, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uInt>(raw.size()));
    auto field = [&](uLong forCrc) {
        std::string f = "\x75\x70";
        const auto size = static_cast<unsigned>(5 + utf8.size());
        f += static_cast<char>(size & 0xFF);
        f += static_cast<char>(size >> 8);
        f += '\x01';
        for (int i = 0; i < 4; ++i) {
            f += static_cast<char>((forCrc >> (8 * i)) & 0xFF);
        }
        return f + utf8;
    };
    EXPECT_EQ(entryNameUtf8(raw, false, std::string("\x0a\x00\x00\x00", 4) + field(crc)), utf8);
    EXPECT_EQ(entryNameUtf8(raw, false, field(crc + 1)), raw);
}

TEST_F(Unpack, everyEntryWithItsFoldersContentAndExecuteBit) {
    const std::string gbkName = gbk("云海舟");
    const UnpackResult result = unpack({
        {.name = "lib/", .content = "", .mode = 040755},
        {.name = "lib/readme.txt", .content = "notes"},
        {.name = "bin\\tool", .content = "#!/bin/sh\n", .mode = 0100755},
        {.name = gbkName, .content = "program", .mode = 0, .utf8Flag = false},
        {.name = "empty.dat", .content = ""},
        // GBK DF 5C: its last byte is that of a backslash.
        {.name = gbk("說明運"), .content = "a file", .utf8Flag = false},
    });
    ASSERT_TRUE(result.ok()) << result.entry;
    EXPECT_EQ(result.directories, std::vector<std::string>{"lib"});
    EXPECT_EQ(result.files, (std::vector<std::string>{"lib/readme.txt", "bin/tool", "云海舟",
                                                      "empty.dat", "說明運"}));
    EXPECT_EQ(readFile(target_ / u8"說明運"), "a file");
    EXPECT_EQ(readFile(target_ / "lib/readme.txt"), "notes");
    EXPECT_EQ(readFile(target_ / u8"云海舟"), "program");
    EXPECT_EQ(readFile(target_ / "empty.dat"), "");
#ifndef _WIN32
    EXPECT_TRUE(executable(target_ / "bin/tool"));
    EXPECT_FALSE(executable(target_ / "lib/readme.txt"));
#endif
}

TEST_F(Unpack, oneUnsafeEntryRefusesTheArchiveBeforeAnythingIsWritten) {
    const std::vector<ZipEntry> bad = {
        {.name = "../escape.txt", .content = "x"},
        {.name = "/tmp/absolute.txt", .content = "x"},
        {.name = "..\\..\\escape.txt", .content = "x"},
        {.name = "C:/escape.txt", .content = "x"},
        {.name = "link", .content = "/etc", .mode = 0120777},
        {.name = "pipe", .content = "", .mode = 010644},
        {.name = "good.txt", .content = "a second entry of the same name"},
    };
    for (const ZipEntry& entry : bad) {
        const UnpackResult result = unpack({{.name = "good.txt", .content = "fine"}, entry});
        EXPECT_EQ(result.problem, ArchiveProblem::UnsafeEntry) << entry.name;
        EXPECT_TRUE(result.files.empty());
        EXPECT_TRUE(targetEmpty()) << entry.name;
        EXPECT_FALSE(fs::exists(dir_.path() / "escape.txt"));
    }
}

TEST_F(Unpack, damagedOrOversizedArchivesFail) {
    EXPECT_EQ(unpack({{.name = "a.txt", .content = "payload", .badChecksum = true}}).problem,
              ArchiveProblem::Corrupt);

    const std::vector<ZipEntry> three = {{.name = "a", .content = std::string(1000, 'a')},
                                         {.name = "b", .content = std::string(1000, 'b')},
                                         {.name = "c", .content = std::string(1000, 'c')}};
    EXPECT_EQ(unpack(three, {.maxEntries = 2}).problem, ArchiveProblem::TooLarge);
    EXPECT_EQ(unpack(three, {.maxTotalBytes = 2500}).problem, ArchiveProblem::TooLarge);

    std::ofstream(archive_) << "PK but no archive";
    EXPECT_EQ(unpackArchive(archive_.string(), target_.string()).problem,
              ArchiveProblem::Unreadable);
    EXPECT_EQ(unpackArchive((dir_.path() / "absent.zip").string(), target_.string()).problem,
              ArchiveProblem::Unreadable);
}

}  // namespace
}  // namespace yhz
