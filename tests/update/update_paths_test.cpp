#include <gtest/gtest.h>

#include "text/encoding.h"
#include "update/update_paths.h"
#include "update/updater.h"

namespace yhz {
namespace {

// A program folder as the system writes it.
#ifdef _WIN32
const std::string kFolder = "C:\\yhz";
#else
const std::string kFolder = "/opt/yhz";
#endif
const std::string kExe(kExecutableSuffix);

TEST(UpdatePaths, theFilesOfAnUpdateSitInTheProgramFolder) {
    const auto paths = updatePaths(kFolder + kPathSeparator, gbk("新版"), "2.2.0");
    ASSERT_TRUE(paths.has_value());
    const std::string in = kFolder + kPathSeparator;
    EXPECT_EQ(paths->directory, kFolder);
    EXPECT_EQ(paths->package, in + "新版.zip");
    EXPECT_EQ(paths->unpackedName, "新版" + kExe);
    EXPECT_EQ(paths->newExecutable, in + "新版[2.2.0]" + kExe);
    EXPECT_EQ(paths->oldExecutable, in + "old云海舟" + kExe);

    // A GBK character whose second byte is a backslash is no separator.
    const std::string trailBackslash = "\x81\x5c";
    const auto gbkName = updatePaths(kFolder, trailBackslash, "2.2.0");
    ASSERT_TRUE(gbkName.has_value());
    EXPECT_EQ(gbkName->unpackedName, localToUtf8(trailBackslash) + kExe);
}

TEST(UpdatePaths, namesThatWouldNotStayOneFileInTheFolderAreRefused) {
    for (const std::string& name : std::vector<std::string>{
             "", ".", "..", "a/b", "a\\b", "../x", gbk("新:版"), "a*b", "a?b", "a|b", "a<b", "a\"b",
             std::string("a\nb"), std::string("ab\0cd", 5), std::string("\xff\xff")}) {
        EXPECT_FALSE(updatePaths(kFolder, name, "2.2.0").has_value()) << name;
    }
    for (const std::string& version :
         std::vector<std::string>{"../../x", "2/2", "2:2", std::string("2\0.0", 4)}) {
        EXPECT_FALSE(updatePaths(kFolder, gbk("新版"), version).has_value()) << version;
    }
    EXPECT_FALSE(updatePaths("relative/folder", gbk("新版"), "2.2.0").has_value());
}

TEST(UpdatePaths, fullFilePaths) {
    EXPECT_TRUE(isFullFilePath(kFolder + "/新版[2.2.0]"));
    EXPECT_FALSE(isFullFilePath("opt/yhz/a"));
    EXPECT_FALSE(isFullFilePath(kFolder + "/"));
    EXPECT_FALSE(isFullFilePath(kFolder + "/a:b"));
    EXPECT_FALSE(isFullFilePath(""));
    EXPECT_EQ(delayedRemovalCommand("C:\\yhz\\old云海舟.exe", 3000),
              "cmd /c ping 192.0.2.1 -n 1 -w 3000 & del \"C:\\yhz\\old云海舟.exe\"");
}

// The program's own path (the system's separators) meets paths joined here
// with "/": on Windows both name one file.
TEST(UpdatePaths, pathsCompareByTheirPartsNotTheirText) {
#ifdef _WIN32
    const bool windows = true;
#else
    const bool windows = false;
#endif
    const struct {
        const char* a;
        const char* b;
        bool same;
        bool inside;  // a below b
    } cases[] = {
        {"/opt/yhz/yhz", "/opt/yhz/yhz", true, false},
        {"/opt/yhz//.yhz-update-1/x", "/opt/yhz/.yhz-update-1", false, true},
        {"/opt/yhz/.yhz-update-1x", "/opt/yhz/.yhz-update-1", false, false},
        {"/opt/yhz/a", "/opt/yhz/b", false, false},
        {"C:\\yhz\\云海舟.exe", "C:/yhz/云海舟.exe", windows, false},
        {"C:\\yhz/云海舟.exe", "C:\\yhz\\云海舟.exe", windows, false},
        {"C:\\yhz/.yhz-update-1/unpacked/a", "C:\\yhz\\.yhz-update-1", false, windows},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(samePath(c.a, c.b), c.same) << c.a << " " << c.b;
        EXPECT_EQ(insideFolder(c.a, c.b), c.inside) << c.a << " " << c.b;
    }
}

TEST(UpdateProgress, textAndBarRoundToWholePercents) {
    EXPECT_EQ(progressText(1000, 333), gbk("已完成：33%"));
    EXPECT_EQ(progressPosition(1000, 333), 33);
    EXPECT_EQ(progressText(1000, 336), gbk("已完成：34%"));
    EXPECT_EQ(progressPosition(1000, 336), 34);
    EXPECT_EQ(progressText(1000, 1000), gbk("已完成：100%"));
    // Until the total is known, and when it never is.
    EXPECT_EQ(progressText(0, 5000), gbk("已完成：0%"));
    EXPECT_EQ(progressText(0.00000001, 5000), gbk("已完成：0%"));
    EXPECT_EQ(progressPosition(0, 5000), 0);
    // The bar never leaves its range.
    EXPECT_EQ(progressPosition(1000, 2000), 100);
}

}  // namespace
}  // namespace yhz
