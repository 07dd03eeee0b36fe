#include "base/installation.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
// Sets or unsets an environment variable for one scope.
class EnvValue {
public:
    EnvValue(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvValue() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
    EnvValue(const EnvValue&) = delete;
    EnvValue& operator=(const EnvValue&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};
#endif

TEST(Installation, TheMarkerOrAFolderTheUserCannotWriteToMeansInstalled) {
    const testing::TempDir folder("yhz-install");
    EXPECT_EQ(installationOf(folder.path()), Installation::Portable);
    std::ofstream(folder.path() / kPackageMarker) << "package";
    EXPECT_EQ(installationOf(folder.path()), Installation::Installed);
    fs::remove(folder.path() / kPackageMarker);

#ifndef _WIN32
    // Root writes anywhere; that case is the marker's.
    if (geteuid() != 0) {
        chmod(folder.path().c_str(), 0555);
        EXPECT_EQ(installationOf(folder.path()), Installation::Installed);
        chmod(folder.path().c_str(), 0755);
    }
#endif
    EXPECT_EQ(installationOf(folder.path() / "missing"), Installation::Installed);
}

#ifdef _WIN32
TEST(Installation, DataHomeIsTheLocalApplicationDataFolder) {
    const char* before = std::getenv("LOCALAPPDATA");
    const std::string old = before != nullptr ? before : "";
    _putenv_s("LOCALAPPDATA", "C:\\Users\\a\\AppData\\Local");
    EXPECT_EQ(xdgDataHome(), fs::path("C:\\Users\\a\\AppData\\Local"));
    _putenv_s("LOCALAPPDATA", "relative");
    EXPECT_EQ(xdgDataHome(), fs::path());
    _putenv_s("LOCALAPPDATA", old.c_str());
}
#else
TEST(Installation, DataHomeFollowsTheXdgRules) {
    struct Case {
        const char* xdg;
        const char* home;
        fs::path expected;  // empty: the account's home + .local/share
    };
    const Case cases[] = {
        {"/srv/data", "/home/a", "/srv/data"},
        {"relative/data", "/home/a", "/home/a/.local/share"},
        {"", "/home/a", "/home/a/.local/share"},
        {nullptr, "/home/a", "/home/a/.local/share"},
        {nullptr, nullptr, {}},
    };
    for (const Case& c : cases) {
        const EnvValue xdg("XDG_DATA_HOME", c.xdg);
        const EnvValue home("HOME", c.home);
        const fs::path found = xdgDataHome();
        if (c.expected.empty()) {
            EXPECT_TRUE(found.is_absolute()) << found;
            EXPECT_EQ(found.filename(), "share");
        } else {
            EXPECT_EQ(found, c.expected);
        }
    }
    EXPECT_EQ(installedDataDirectory("/home/a/.local/share"),
              fs::path("/home/a/.local/share/yunhaizhou/data"));
}
#endif

}  // namespace
}  // namespace yhz
