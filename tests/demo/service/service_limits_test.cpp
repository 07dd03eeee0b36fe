// What no client of the service can fill or stretch: ranges of the package,
// identifiers and tokens per address, users who never come back.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <fstream>

#include "demo/service/byte_range.h"
#include "demo/service/registry.h"
#include "demo/service/service.h"
#include "support/temp_dir.h"

namespace yhz::service {
namespace {

using testing::TempDir;

TEST(ByteRange, OneRangeClampedToTheFileAnythingElseTheWholeFile) {
    using Kind = ByteRange::Kind;
    auto part = [](std::string_view header, std::uint64_t size) {
        ByteRange r = byteRange(header, size);
        return r.kind == Kind::Part    ? std::to_string(r.first) + "-" + std::to_string(r.last)
               : r.kind == Kind::Whole ? "whole"
                                       : "unsatisfiable";
    };
    EXPECT_EQ(part("bytes=0-99", 1000), "0-99");
    EXPECT_EQ(part("bytes=990-", 1000), "990-999");
    EXPECT_EQ(part("bytes=990-5000", 1000), "990-999");
    EXPECT_EQ(part("bytes=-10", 1000), "990-999");
    EXPECT_EQ(part("bytes=-5000", 1000), "0-999");
    EXPECT_EQ(part("bytes=1000-", 1000), "unsatisfiable");
    EXPECT_EQ(part("bytes=-0", 1000), "unsatisfiable");
    EXPECT_EQ(part("bytes=0-", 0), "unsatisfiable");
    for (const char* whole : {"", "bytes=0-,0-", "bytes=0-1,5-6", "bytes=9-3", "items=0-1",
                              "bytes=x-", "bytes=-", "bytes=1"}) {
        EXPECT_EQ(part(whole, 1000), "whole") << whole;
    }
}

TEST(ServicePackage, AnswersOneRangeAtMost) {
    TempDir dir("yhz-service-range");
    std::string content;
    for (int i = 0; i < 200000; ++i)
        content += static_cast<char>(i * 13 % 251);
    const std::string zip = (dir.path() / "package.zip").string();
    std::ofstream(zip, std::ios::binary) << content;
    ServiceOptions options;
    options.port = 0;
    options.databasePath = (dir.path() / "service.sqlite").string();
    options.packagePath = zip;
    std::string error;
    auto service = Service::start(options, &error);
    ASSERT_NE(service, nullptr) << error;
    httplib::Client c("127.0.0.1", service->port());
    auto get = [&](const std::string& range) {
        return c.Get("/update/package.zip", {{"Range", range}});
    };

    auto part = get("bytes=100-199");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_EQ(part->body, content.substr(100, 100));
    EXPECT_EQ(part->get_header_value("Content-Range"), "bytes 100-199/200000");
    auto tail = get("bytes=199990-999999");
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->body, content.substr(199990));

    std::string copies = "bytes=0-";
    for (int i = 0; i < 799; ++i)
        copies += ",0-";
    auto many = get(copies);
    ASSERT_TRUE(many);
    EXPECT_EQ(many->status, 200);
    EXPECT_EQ(many->get_header_value("Content-Length"), "200000");
    EXPECT_EQ(many->body, content);

    auto beyond = get("bytes=300000-");
    ASSERT_TRUE(beyond);
    EXPECT_EQ(beyond->status, 416);
    EXPECT_EQ(beyond->get_header_value("Content-Range"), "bytes */200000");
}

TEST(ServiceLimits, NewIdentifiersAndUnusedTokensAreRateLimitedPerAddress) {
    TempDir dir("yhz-service-rate");
    ServiceOptions options;
    options.port = 0;
    options.databasePath = (dir.path() / "service.sqlite").string();
    options.relayDelay = std::chrono::milliseconds(0);
    options.newUsersPerAddress = {3, 0.001};
    options.unusedTokensPerAddress = {5, 0.001};
    std::string error;
    auto service = Service::start(options, &error);
    ASSERT_NE(service, nullptr) << error;
    httplib::Client c("127.0.0.1", service->port());
    auto token = [&](const std::string& user) {
        auto res =
            c.Post("/api/token", "userIdentifier=" + user, "application/x-www-form-urlencoded");
        return res ? std::make_pair(res->status, res->body) : std::make_pair(0, std::string());
    };
    for (const char* user : {"one-a", "one-b", "one-c"})
        EXPECT_EQ(token(user).first, 200) << user;
    auto fourth = token("one-d");
    EXPECT_EQ(fourth.first, 429);
    EXPECT_NE(fourth.second.find("new user identifiers"), std::string::npos);
    // A known identifier is not new: it still gets tokens, until its
    // address holds five unused ones.
    const std::string kept = token("one-a").second;
    EXPECT_EQ(kept.size(), 32u);
    EXPECT_EQ(token("one-a").first, 200);
    auto sixth = token("one-a");
    EXPECT_EQ(sixth.first, 429);
    EXPECT_NE(sixth.second.find("unused tokens"), std::string::npos);
    // A token used by the relay is given back.
    auto relayed =
        c.Post("/relay",
               "hphm=%E7%B2%A4BD12345&hpzl=52&id=one-a&Token=" + kept + "&hphma=%E7%B2%A4B&line=1",
               "application/x-www-form-urlencoded");
    ASSERT_TRUE(relayed);
    EXPECT_EQ(relayed->body, "ok");
    EXPECT_EQ(token("one-a").first, 200);
}

TEST(Registry, ForgetsUsersNotSeenForADayWhenRoomIsNeeded) {
    TempDir dir("yhz-registry-forget");
    std::string error;
    auto registry = Registry::open((dir.path() / "r.sqlite").string(), &error);
    ASSERT_NE(registry, nullptr) << error;
    using User = Registry::User;
    const std::int64_t day = 86400;
    const std::int64_t t0 = 1700000000;
    for (const char* id : {"a", "b", "c"})
        EXPECT_EQ(registry->registerUser(id, 3, t0), User::Added);
    EXPECT_EQ(registry->registerUser("d", 3, t0 + 10), User::Full);
    EXPECT_EQ(registry->registerUser("a", 3, t0 + day - 10), User::Known);
    // A day later b and c are gone and make room; a, seen since, stays.
    EXPECT_EQ(registry->registerUser("d", 3, t0 + day + 1), User::Added);
    EXPECT_TRUE(registry->isKnownUser("a"));
    EXPECT_FALSE(registry->isKnownUser("b"));
    EXPECT_EQ(registry->registerUser("b", 3, t0 + day + 2), User::Added);
    EXPECT_EQ(registry->userCount(), 3);
}

TEST(Registry, OpensAFileFromBeforeUsersWereForgotten) {
    TempDir dir("yhz-registry-old");
    const std::string path = (dir.path() / "old.sqlite").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db,
                 "CREATE TABLE users(identifier TEXT PRIMARY KEY, first_seen INTEGER NOT NULL);"
                 "INSERT INTO users VALUES('old-user', 1700000000);",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::string error;
    auto registry = Registry::open(path, &error);
    ASSERT_NE(registry, nullptr) << error;
    EXPECT_TRUE(registry->isKnownUser("old-user"));
    EXPECT_EQ(registry->registerUser("old-user", 10, 1700000100), Registry::User::Known);
}

}  // namespace
}  // namespace yhz::service
