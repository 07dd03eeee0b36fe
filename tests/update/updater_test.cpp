// Whole updates of a program folder made for each test, with the package
// served by the real service on a loopback port: the good one restarts into
// the new program, every failure leaves the folder exactly as it was.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "base/background_task.h"
#include "demo/service/service.h"
#include "service_client/package_offer.h"
#include "service_client/service_client.h"
#include "support/loopback.h"
#include "support/signing_key.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "update/rename_journal.h"
#include "update/update_recovery.h"
#include "update/updater.h"
#include "zip_writer.h"

extern char** environ;

namespace yhz {
namespace {

namespace fs = std::filesystem;
using test::ZipEntry;

using yhz::testing::readFile;

void writeFile(const fs::path& path, const std::string& content, fs::perms perms) {
    std::ofstream(path, std::ios::binary) << content;
    fs::permissions(path, perms);
}

// Everything in a folder: kind, mode and content (or link target) by path.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> items;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path& p = it->path();
        const std::string rel = fs::relative(p, root).string();
        const auto status = fs::symlink_status(p);
        const auto perms = std::to_string(static_cast<unsigned>(status.permissions()));
        if (fs::is_symlink(status)) {
            items[rel] = "link " + fs::read_symlink(p).string();
        } else if (fs::is_directory(status)) {
            items[rel] = "folder " + perms;
        } else if (!fs::is_regular_file(status)) {
            items[rel] = "other " + perms;
        } else {
            items[rel] = "file " + perms + " " + readFile(p);
        }
    }
    return items;
}

// The new program of the tests: says where it was started from, and
// confirms that it runs as the real one does once its start checks pass.
const std::string kNewProgram =
    "#!/bin/sh\nprintf '%s' \"$0\" > \"$(dirname \"$0\")/started.txt\"\n"
    "for d in \"$(dirname \"$0\")\"/.yhz-update-*; do : > \"$d/confirmed\"; done\n";

class Update : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        suite_ = new testing::TempDir("yhz-update-service");
        service::ServiceOptions options;
        options.port = 0;
        options.databasePath = (suite_->path() / "service.sqlite").string();
        options.packagePath = served().string();
        options.latestVersion = "2.2.0";
        publisher_ = new test::SigningKey();
        options.signingKeyPath = (suite_->path() / "publisher.pem").string();
        publisher_->writePem(options.signingKeyPath);
        std::string error;
        service_ = service::Service::start(options, &error).release();
        ASSERT_NE(service_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete service_;
        delete publisher_;
        delete suite_;
    }
    static std::optional<ServiceInfo> offer(int port) {
        return ServiceClient("http://127.0.0.1:" + std::to_string(port)).obtain();
    }
    static fs::path served() { return suite_->path() / "served.zip"; }

    void SetUp() override {
        program_ = dir_.path() / "yunhaizhou";
        writeFile(program_, "the program of this run", fs::perms(0755));
        fs::create_directory(dir_.path() / "data");
        writeFile(dir_.path() / "data/keep.txt", "expired plates", fs::perms(0644));
        const auto info =
            ServiceClient("http://127.0.0.1:" + std::to_string(service_->port())).obtain();
        ASSERT_TRUE(info.has_value());
        request_ = {info->latestVersion,
                    info->packageName,
                    info->packageAddress,
                    dir_.path().string(),
                    program_.string(),
                    -1,
                    {}};
    }

    // Runs one update to its end. A request that names no digest takes the
    // size and digest of the service's signed offer for what it serves now,
    // once the offer has passed the program's check.
    UpdateProgress runUpdate(UpdateRequest request) {
        if (request.packageSha256.empty() && fs::exists(served())) {
            const std::optional<ServiceInfo> info = offer(service_->port());
            EXPECT_EQ(judgeOffer(*info, "2.1.2", publisher_->publicHex()).verdict,
                      OfferVerdict::Take);
            request.packageSize = std::stoll(info->packageSize);
            request.packageSha256 = info->packageSha256;
        }
        Updater::Options options;
        options.beforeStart = [this] { ++claimsLetGo_; };
        Updater updater(request, options);
        BackgroundTaskOwner tasks;
        if (updater.start(tasks)) {
            EXPECT_TRUE(tasks.waitIdle(std::chrono::seconds(60)));
        }
        return updater.progress();
    }
    UpdateProgress runUpdate() { return runUpdate(request_); }

    testing::TempDir dir_{"yhz-update-program"};
    fs::path program_;
    UpdateRequest request_;
    std::atomic<int> claimsLetGo_{0};
    static inline testing::TempDir* suite_ = nullptr;
    static inline service::Service* service_ = nullptr;
    static inline test::SigningKey* publisher_ = nullptr;
};

// The offers of the real service as the program judges them: signed with
// the trusted key and newer, signed by a key the program does not trust,
// not signed at all, an older version.
TEST_F(Update, onlyTheServicesSignedNewerOfferIsTaken) {
    ASSERT_TRUE(test::writeZip(served().string(), {{.name = "云海舟", .content = kNewProgram}}));
    const test::SigningKey stranger;
    const std::string strangerPem = (suite_->path() / "stranger.pem").string();
    stranger.writePem(strangerPem);
    struct Case {
        std::string key;
        std::string version;
        OfferVerdict verdict;
    };
    const std::string trusted = suite_->path() / "publisher.pem";
    for (const Case& c : {Case{trusted, "2.2.0", OfferVerdict::Take},
                          Case{strangerPem, "2.2.0", OfferVerdict::BadSignature},
                          Case{"", "2.2.0", OfferVerdict::Unsigned},
                          Case{trusted, "2.1.1", OfferVerdict::NotNewer}}) {
        service::ServiceOptions options;
        options.port = 0;
        options.databasePath = (suite_->path() / "offers.sqlite").string();
        options.packagePath = served().string();
        options.latestVersion = c.version;
        options.signingKeyPath = c.key;
        std::string error;
        const auto service = service::Service::start(options, &error);
        ASSERT_NE(service, nullptr) << error;
        const std::optional<ServiceInfo> info = offer(service->port());
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(judgeOffer(*info, "2.1.2", publisher_->publicHex()).verdict, c.verdict)
            << c.key << " " << c.version;
    }
    std::string error;
    service::ServiceOptions broken;
    broken.port = 0;
    broken.databasePath = (suite_->path() / "offers.sqlite").string();
    broken.signingKeyPath = served().string();  // no key in there
    EXPECT_EQ(service::Service::start(broken, &error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST_F(Update, aGoodPackageIsDownloadedUnpackedPutInPlaceAndStarted) {
    ASSERT_EQ(localToUtf8(request_.packageName), "云海舟");
    ASSERT_TRUE(test::writeZip(served().string(),
                               {{.name = "云海舟", .content = kNewProgram, .mode = 0},
                                {.name = "lib/notes.txt", .content = "what is new"},
                                {.name = "data/keep.txt", .content = "shipped with the update"}}));
    const UpdateProgress progress = runUpdate();
    ASSERT_EQ(progress.phase, UpdatePhase::Restarted) << progress.detail;
    EXPECT_EQ(progress.total, static_cast<double>(fs::file_size(served())));
    EXPECT_EQ(progress.received, static_cast<std::int64_t>(fs::file_size(served())));
    EXPECT_EQ(claimsLetGo_, 1);

    const fs::path started = dir_.path() / "started.txt";
    for (int i = 0; i < 500 && !fs::exists(started); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const fs::path newProgram = dir_.path() / "云海舟[2.2.0]";
    EXPECT_EQ(readFile(started), newProgram.string());
    EXPECT_EQ(readFile(dir_.path() / "lib/notes.txt"), "what is new");
    EXPECT_EQ(readFile(dir_.path() / "data/keep.txt"), "shipped with the update");
    // The old program is gone only now that the new one has run; the package
    // and the unpacking folder are gone too.
    EXPECT_EQ(snapshot(dir_.path()).count("yunhaizhou"), 0u);
    for (const auto& [path, what] : snapshot(dir_.path())) {
        EXPECT_TRUE(path == "云海舟[2.2.0]" || path == "started.txt" || path == "lib" ||
                    path == "lib/notes.txt" || path == "data" || path == "data/keep.txt")
            << path;
    }
    EXPECT_EQ(fs::status(newProgram).permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
}

TEST_F(Update, aPackageThatWillNotDoLeavesTheFolderAsItWas) {
    // A link in the program folder to a folder outside it.
    const fs::path outside = dir_.path().parent_path() / (dir_.path().filename().string() + "-out");
    fs::create_directory(outside);
    fs::create_symlink(outside, dir_.path() / "linked");
    const ZipEntry program{.name = "云海舟", .content = kNewProgram, .mode = 0100755};
    const std::map<std::string, std::vector<ZipEntry>> packages = {
        {"a ../ entry", {program, {.name = "../escaped.txt", .content = "x"}}},
        {"an absolute entry", {program, {.name = "/tmp/yhz-escaped.txt", .content = "x"}}},
        {"a backslash .. entry", {program, {.name = "lib\\..\\..\\escaped.txt", .content = "x"}}},
        {"a symbolic link", {program, {.name = "link", .content = "/", .mode = 0120777}}},
        {"a file through a link", {program, {.name = "linked/escaped.txt", .content = "x"}}},
        {"a file over a folder", {program, {.name = "data", .content = "x"}}},
        {"no program", {{.name = "other", .content = kNewProgram, .mode = 0100755}}},
        {"a damaged program", {{.name = "云海舟", .content = kNewProgram, .badChecksum = true}}},
        {"no program format", {{.name = "云海舟", .content = "plain words", .mode = 0100755}}},
        {"a program that fails at once",
         {{.name = "云海舟", .content = "#!/bin/sh\nexit 127\n", .mode = 0100755},
          {.name = "data/keep.txt", .content = "replaced"}}},
        {"a program that ends after 1.5 s without a window",
         {{.name = "云海舟", .content = "#!/bin/sh\nsleep 1.5\n", .mode = 0100755}}},
    };
    const auto before = snapshot(dir_.path());
    for (const auto& [what, entries] : packages) {
        ASSERT_TRUE(test::writeZip(served().string(), entries));
        const UpdateProgress progress = runUpdate();
        EXPECT_EQ(progress.phase, UpdatePhase::Failed) << what;
        EXPECT_FALSE(progress.message.empty()) << what;
        EXPECT_EQ(snapshot(dir_.path()), before) << what << ": " << progress.detail;
        EXPECT_TRUE(fs::is_empty(outside)) << what;
    }
    EXPECT_FALSE(fs::exists("/tmp/yhz-escaped.txt"));
    fs::remove_all(outside);
}

// A rollback that cannot put everything back keeps the unpacking folder,
// with the user's file in its backup, and says where it is.
TEST_F(Update, aRollbackThatCannotFinishKeepsTheUsersFilesAndSaysWhere) {
    ASSERT_TRUE(test::writeZip(served().string(),
                               {{.name = "云海舟", .content = kNewProgram, .mode = 0100755},
                                {.name = "data/keep.txt", .content = "shipped"}}));
    UpdateRequest request = request_;
    Updater::Options options;
    // The new program fails, and meanwhile its folder became a file: the
    // user's keep.txt cannot go back into data/.
    options.start = [this](const std::string&, const std::string&, std::stop_token) {
        fs::rename(dir_.path() / "data", dir_.path() / "data-elsewhere");
        writeFile(dir_.path() / "data", "in the way", fs::perms(0644));
        return false;
    };
    const std::string bytes = readFile(served());
    request.packageSize = static_cast<std::int64_t>(bytes.size());
    request.packageSha256 = test::sha256Hex(bytes);
    Updater updater(request, options);
    BackgroundTaskOwner tasks;
    ASSERT_TRUE(updater.start(tasks));
    ASSERT_TRUE(tasks.waitIdle(std::chrono::seconds(60)));
    const UpdateProgress progress = updater.progress();
    EXPECT_EQ(progress.phase, UpdatePhase::Failed);
    std::vector<fs::path> kept;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
        if (entry.path().filename().string().rfind(".yhz-update-", 0) == 0) {
            kept.push_back(entry.path());
        }
    }
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(readFile(kept[0] / "backup/1"), "expired plates");
    EXPECT_NE(localToUtf8(progress.message).find(kept[0].string()), std::string::npos);
    EXPECT_TRUE(fs::exists(program_));  // the old program is back
}

// A replacement killed part of the way: the next start undoes it when the
// new program never confirmed, and finishes it when it did.
TEST_F(Update, theStartAfterAKilledUpdateUndoesOrFinishesIt) {
    ASSERT_TRUE(test::writeZip(served().string(),
                               {{.name = "云海舟", .content = kNewProgram, .mode = 0100755},
                                {.name = "data/keep.txt", .content = "shipped"}}));
    const std::string package = readFile(served());
    const auto before = snapshot(dir_.path());
    for (const char* how : {"hang", "confirm"}) {
        SCOPED_TRACE(how);
        const fs::path zip = dir_.path() / "云海舟.zip";
        writeFile(zip, package, fs::perms(0644));
        pid_t pid = -1;
        std::vector<std::string> args = {YHZ_INTERRUPTED_UPDATE,
                                         "replace",
                                         dir_.path().string(),
                                         program_.string(),
                                         gbk("云海舟"),
                                         "2.2.0",
                                         how};
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
        // Killed once the new program is (about to be) started.
        bool started = false;
        for (int k = 0; k < 500 && !started; ++k) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (const auto& entry : fs::directory_iterator(dir_.path())) {
                const std::string journal = readFile(entry.path() / "journal");
                const bool marked =
                    std::string(how) == "hang" || fs::exists(entry.path() / "confirmed");
                started = started || (journal.find("start\t") != std::string::npos && marked);
            }
        }
        ASSERT_TRUE(started);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        ASSERT_FALSE(fs::exists(program_));  // moved aside when it died

        const RecoveryReport report = recoverInterruptedUpdates(dir_.path().string(), "");
        if (std::string(how) == "hang") {
            EXPECT_EQ(report.undone, 1);
            fs::remove(zip);  // what the replacement would have removed at its end
            EXPECT_EQ(snapshot(dir_.path()), before);
        } else {
            EXPECT_EQ(report.finished, 1);
            EXPECT_EQ(readFile(dir_.path() / "data/keep.txt"), "shipped");
            EXPECT_TRUE(fs::exists(dir_.path() / "云海舟[2.2.0]"));
            EXPECT_FALSE(fs::exists(dir_.path() / "old云海舟"));
        }
        EXPECT_TRUE(report.kept.empty());
        // Nothing is left for a second start to do.
        const RecoveryReport again = recoverInterruptedUpdates(dir_.path().string(), "");
        EXPECT_EQ(again.finished + again.undone, 0);
    }
}

// Runs a helper of interrupted_update.cpp and waits for it; its wait status.
int runHelper(std::vector<std::string> args) {
    args.insert(args.begin(), YHZ_INTERRUPTED_UPDATE);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = -1;
    waitpid(pid, &status, 0);
    return status;
}

// A real update, downloaded from the service and started, killed with
// SIGKILL at every point where a crash leaves a different journal or folder,
// then the program started again, in place and after the whole folder was
// moved; a second start while the update downloads, replaces and awaits its
// confirmation; a notice that stands before the new program's window; and
// a package whose program is not the published version. Each time the
// folder ends as exactly the old program with its files or exactly the new
// one, data/ untouched and nothing left behind.
TEST_F(Update, anUpdateEndsWholeOldOrWholeNewAfterACrashAtAnyPointOrASecondStart) {
    const fs::path control = dir_.path().string() + "-control";
    const fs::path moved = dir_.path().string() + "-moved";
    fs::create_directory(control);
    auto newProgram = [&](const std::string& version) {
        return "#!/bin/sh\nexec '" + std::string(YHZ_INTERRUPTED_UPDATE) + "' program '" +
               control.string() + "' " + version + " \"$0\" \"$@\"\n";
    };
    auto publish = [&](const std::string& version) {
        ASSERT_TRUE(test::writeZip(
            served().string(), {{.name = "云海舟", .content = newProgram(version), .mode = 0100755},
                                {.name = "readme.txt", .content = "new notes"},
                                {.name = "lib/notes.txt", .content = "what is new"}}));
    };
    const fs::path folder = dir_.path();
    auto resetFolder = [&] {
        for (const fs::path& p : {folder, moved}) {
            fs::remove_all(p);
        }
        for (const auto& entry : fs::directory_iterator(control)) {
            fs::remove(entry.path());
        }
        fs::create_directories(folder / "data/sub");
        writeFile(program_, "the program of this run", fs::perms(0755));
        writeFile(folder / "readme.txt", "old notes", fs::perms(0644));
        writeFile(folder / "data/keep.txt", "expired plates", fs::perms(0644));
        writeFile(folder / "data/sub/plates.txt", "京A12345", fs::perms(0600));
    };
    resetFolder();
    const auto oldFolder = snapshot(folder);
    auto isNew = [&](const std::map<std::string, std::string>& now) {
        std::map<std::string, std::string> expected;
        for (const auto& [path, what] : oldFolder) {
            if (path.rfind("data", 0) == 0) {
                expected[path] = what;
            }
        }
        expected["readme.txt"] = "file 420 new notes";
        expected["lib"] = now.count("lib") ? now.at("lib") : "missing";
        expected["lib/notes.txt"] = "file 420 what is new";
        expected["云海舟[2.2.0]"] = "file 493 " + newProgram("2.2.0");
        return now == expected;
    };
    auto update = [&](int crash, int pause) {
        const std::optional<ServiceInfo> info = offer(service_->port());
        return runHelper({"update", control.string(), folder.string(), program_.string(),
                          info->packageAddress, info->packageName, info->latestVersion,
                          info->packageSize, info->packageSha256, std::to_string(crash),
                          std::to_string(pause)});
    };
    auto readControl = [&](const char* name) { return readFile(control / name); };
    // The next start, once whatever the update started has ended.
    auto startAgain = [&](const fs::path& where) {
        for (int k = 0; k < 500; ++k) {
            const int fd = ::open((control / "instance.lock").c_str(), O_RDWR | O_CREAT, 0644);
            const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            ::close(fd);
            if (free) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return runHelper({"program", control.string(), "2.1.2", (where / "yunhaizhou").string()});
    };

    publish("2.2.0");
    for (const bool move : {false, true}) {
        int killed = 0;
        std::string outcomes;  // o for old, n for new, per point
        for (int point = 1; point < 100; ++point) {
            SCOPED_TRACE((move ? "moved, point " : "in place, point ") + std::to_string(point));
            resetFolder();
            const int status = update(point, -1);
            if (WIFEXITED(status)) {
                ASSERT_EQ(WEXITSTATUS(status), 0) << readControl("notices.txt");
                break;  // past the last point: the update ran whole
            }
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            ++killed;
            const fs::path where = move ? moved : folder;
            if (move) {
                fs::rename(folder, moved);
            }
            EXPECT_EQ(WEXITSTATUS(startAgain(where)), 0);
            const auto now = snapshot(where);
            outcomes += now == oldFolder ? 'o' : isNew(now) ? 'n' : '?';
            EXPECT_NE(readControl("windows.txt").find("yunhaizhou"), std::string::npos);
        }
        // The package's line; five moves and a folder, each a line and the
        // step taken; the start's line and the done: the old program is back
        // after every point until the new one has confirmed.
        EXPECT_EQ(killed, 15);
        EXPECT_EQ(outcomes, std::string(14, 'o') + "n");
    }

    struct Stage {
        const char* what;
        int pause;
    };
    for (const Stage& stage : {Stage{"download", 1}, Stage{"replace", 5}, Stage{"confirm", 1000}}) {
        SCOPED_TRACE(stage.what);
        resetFolder();
        int finished = -1;
        std::thread run([&] { finished = update(-1, stage.pause); });
        for (int k = 0; k < 1000 && !fs::exists(control / "paused"); ++k) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(fs::exists(control / "paused"));
        const auto during = snapshot(folder);
        EXPECT_EQ(WEXITSTATUS(runHelper({"program", control.string(), "2.1.2", program_.string()})),
                  0);
        EXPECT_EQ(readControl("notices.txt"), "请勿重复打开！\n");
        EXPECT_EQ(snapshot(folder), during);
        std::ofstream{control / "go"};
        run.join();
        EXPECT_TRUE(WIFEXITED(finished) && WEXITSTATUS(finished) == 0)
            << readControl("notices.txt");
        EXPECT_TRUE(isNew(snapshot(folder)));
    }

    // The new program confirms before its notice waits for the user.
    resetFolder();
    std::ofstream{control / "notice-open"};
    const int status = update(-1, -1);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readControl("notices.txt");
    for (int k = 0; k < 500 && readControl("notices.txt").find("无法确认") == std::string::npos;
         ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(readControl("notices.txt").find("无法确认"), std::string::npos);
    fs::remove(control / "notice-open");
    EXPECT_EQ(WEXITSTATUS(startAgain(folder)), 0);
    EXPECT_NE(readControl("windows.txt").find("云海舟[2.2.0]"), std::string::npos);
    EXPECT_TRUE(isNew(snapshot(folder)));

    // A package whose program still calls itself the running version: undone,
    // and said so; no second update from inside the first.
    publish("2.1.2");
    resetFolder();
    const int mismatch = update(-1, -1);
    EXPECT_TRUE(WIFEXITED(mismatch) && WEXITSTATUS(mismatch) == 1);
    EXPECT_EQ(readControl("notices.txt"),
              "安装包中的程序与发布的版本不符，已恢复原来的软件，本次不更新。\n");
    EXPECT_EQ(snapshot(folder), oldFolder);
    fs::remove_all(control);
}

// Journals this program never wrote are kept, said, and never acted on:
// lines that leave the program folder, a link, a pipe (which must not make
// the start wait), one too large to be a journal.
TEST_F(Update, aJournalThatIsNoneOfOursIsKeptAndNeverActedOn) {
    const fs::path victim = dir_.path().string() + "-victim.txt";
    writeFile(victim, "outside the program folder", fs::perms(0644));
    const fs::path real = dir_.path().string() + "-journal";
    writeFile(real, "move\tyunhaizhou\tmoved\n", fs::perms(0644));
    const std::map<std::string, std::function<void(const fs::path&)>> journals = {
        {"a ../ line",
         [&](const fs::path& j) {
             writeFile(j, "move\t../" + victim.filename().string() + "\tgone\n", fs::perms(0600));
         }},
        {"an absolute line",
         [&](const fs::path& j) {
             writeFile(j, "package\t" + victim.string() + "\n", fs::perms(0600));
         }},
        {"a link", [&](const fs::path& j) { fs::create_symlink(real, j); }},
        {"a pipe", [&](const fs::path& j) { ASSERT_EQ(::mkfifo(j.c_str(), 0600), 0); }},
        {"a huge file",
         [&](const fs::path& j) {
             writeFile(j, "move\tyunhaizhou\tmoved\n", fs::perms(0600));
             fs::resize_file(j, RenameJournal::kMaxBytes + 1);
         }},
    };
    for (const auto& [what, plant] : journals) {
        SCOPED_TRACE(what);
        const fs::path staging = dir_.path() / ".yhz-update-planted";
        fs::create_directory(staging);
        plant(staging / "journal");
        const auto before = snapshot(dir_.path());
        const auto started = std::chrono::steady_clock::now();
        const SettledUpdates settled =
            settleEarlierUpdates(dir_.path().string(), program_.string(), "2.1.2", "");
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
        EXPECT_EQ(settled.state, EarlierUpdate::None);
        ASSERT_EQ(settled.recovery.refused.size(), 1u);
        EXPECT_EQ(settled.recovery.refused[0], staging.string());
        EXPECT_EQ(snapshot(dir_.path()), before);
        EXPECT_EQ(readFile(victim), "outside the program folder");
        fs::remove_all(staging);
    }
    fs::remove(victim);
    fs::remove(real);
}

TEST_F(Update, aDownloadThatFailsOrIsCutShortIsNeverUnpacked) {
    ASSERT_TRUE(test::writeZip(served().string(), {{.name = "云海舟", .content = kNewProgram}}));
    const std::string whole = readFile(served());
    const auto before = snapshot(dir_.path());

    test::RawReplyServer cut("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(whole.size()) +
                             "\r\n\r\n" + whole.substr(0, whole.size() - 10));
    UpdateRequest request = request_;
    request.packageAddress = "http://127.0.0.1:" + std::to_string(cut.port()) + "/package.zip";
    UpdateProgress progress = runUpdate(request);
    EXPECT_EQ(progress.phase, UpdatePhase::Failed);
    EXPECT_EQ(progress.total, static_cast<double>(whole.size()));
    EXPECT_EQ(snapshot(dir_.path()), before);

    // The bytes that arrive are not the ones the offer names: thrown away
    // before anything is unpacked.
    request = request_;
    request.packageSize = static_cast<std::int64_t>(whole.size());
    request.packageSha256 = test::sha256Hex(whole + "x");
    progress = runUpdate(request);
    EXPECT_EQ(progress.phase, UpdatePhase::Failed);
    EXPECT_EQ(progress.message, gbk("下载的安装包与发布的信息不符，已丢弃，软件没有改动。"));
    EXPECT_EQ(snapshot(dir_.path()), before);
    // Nor more of them than it names.
    request.packageSize = static_cast<std::int64_t>(whole.size()) - 1;
    request.packageSha256 = test::sha256Hex(whole);
    EXPECT_EQ(runUpdate(request).phase, UpdatePhase::Failed);
    EXPECT_EQ(snapshot(dir_.path()), before);

    fs::remove(served());  // the service now answers 404
    progress = runUpdate();
    EXPECT_EQ(progress.phase, UpdatePhase::Failed);
    EXPECT_EQ(snapshot(dir_.path()), before);
    EXPECT_EQ(claimsLetGo_, 0);
}

TEST_F(Update, badNamesAndAFolderThatCannotBeWrittenRefuseBeforeAnything) {
    const auto before = snapshot(dir_.path());
    for (const std::string& name : std::vector<std::string>{"", "a/b", gbk("新\\版")}) {
        UpdateRequest request = request_;
        request.packageName = name;
        const UpdateProgress progress = runUpdate(request);
        EXPECT_EQ(progress.phase, UpdatePhase::Refused) << name;
        EXPECT_FALSE(progress.message.empty());
    }
    EXPECT_EQ(snapshot(dir_.path()), before);

    // Not even root can make a file here.
    UpdateRequest request = request_;
    request.programDirectory = "/proc";
    request.runningExecutable = "/proc/yunhaizhou";
    const UpdateProgress unwritable = runUpdate(request);
    EXPECT_EQ(unwritable.phase, UpdatePhase::Refused);
    EXPECT_NE(localToUtf8(unwritable.message).find("不能写入"), std::string::npos);
}

TEST_F(Update, theEndOfTheRunStopsTheDownloadAndRemovesThePart) {
    std::atomic<bool> release{false};
    auto slow = std::make_unique<httplib::Server>();
    slow->Get("/package.zip", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1024 * 1024, "application/zip",
                                 [&](size_t, size_t, httplib::DataSink& sink) {
                                     std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                     return !release && sink.write("PK", 2);
                                 });
    });
    test::RunningServer server(std::move(slow));
    const auto before = snapshot(dir_.path());
    UpdateRequest request = request_;
    request.packageAddress = "http://127.0.0.1:" + std::to_string(server.port()) + "/package.zip";
    Updater updater(request, {});
    {
        BackgroundTaskOwner tasks;
        ASSERT_TRUE(updater.start(tasks));
        while (updater.progress().received < 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(updater.progress().total, 1024.0 * 1024.0);
        EXPECT_TRUE(tasks.shutdown(std::chrono::milliseconds(2000)).clean());
    }
    release = true;
    EXPECT_EQ(updater.progress().phase, UpdatePhase::Downloading);
    EXPECT_EQ(snapshot(dir_.path()), before);
}

}  // namespace
}  // namespace yhz
