#include "net/cookies.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "net/cookie_store.h"

namespace yhz {
namespace {

TEST(CollectSetCookies, takesNameValueOfEverySetCookieLineInOrder) {
    EXPECT_EQ(collectSetCookies("HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\n"
                                "Content-Type: text/html\r\nSet-Cookie: b=2\r\n"),
              "a=1; b=2");
    EXPECT_EQ(collectSetCookies("HTTP/1.1 200 OK\r\nSet-Cookie: s=x; HttpOnly; Secure\r\n"), "s=x");
    EXPECT_EQ(collectSetCookies(""), "");
    EXPECT_EQ(collectSetCookies("HTTP/1.1 200 OK\r\nServer: x\r\n"), "");
}

TEST(CollectSetCookies, ignoresOtherSpellingsOfTheName) {
    EXPECT_EQ(collectSetCookies("set-cookie: a=1\r\nSet-Cookie:b=2\r\nX-Set-Cookie: c=3\r\n"), "");
    // Without attributes, "Set-Cookie:" goes wherever it occurs in the line.
    EXPECT_EQ(collectSetCookies("Set-Cookie: v=aSET-COOKIE:b\r\n"), "v=ab");
}

TEST(MergeCookies, newerWinsByNameAndComesFirst) {
    CookieJar older = "a=1; b=3";
    CookieJar newer = "a=2";
    EXPECT_EQ(mergeCookies(older, newer), "a=2; b=3");
    EXPECT_EQ(older, "a=2; b=3");
    EXPECT_EQ(newer, "a=2");

    older = "x=1; y=2";
    newer = "z=3; x=9";
    EXPECT_EQ(mergeCookies(older, newer), "z=3; x=9; y=2");
}

TEST(MergeCookies, deletionMarksRepeatsAndSpaces) {
    CookieJar older = "a=1; b=3";
    CookieJar newer = "a=deleted";
    EXPECT_EQ(mergeCookies(older, newer), "b=3");

    older = "a=1; a=1";
    newer = "";
    EXPECT_EQ(mergeCookies(older, newer), "a=1");

    older = "";
    newer = "a=1; a=2";
    EXPECT_EQ(mergeCookies(older, newer), "a=1; a=2");

    older = "c=x y; d=\xA1\xA1z";
    newer = "e = 5";
    EXPECT_EQ(mergeCookies(older, newer), "e=5; c=xy; d=z");
    EXPECT_EQ(newer, "e=5");

    older = "";
    newer = "";
    EXPECT_EQ(mergeCookies(older, newer), "");
    EXPECT_EQ(older, "");
}

class BrowserCookies : public ::testing::Test {
protected:
    void SetUp() override { CookieStore::browser().clear(); }
    void TearDown() override { CookieStore::browser().clear(); }
    static void put(std::string name, std::string value, std::string domain, std::string path = "/",
                    bool httpOnly = false, bool secure = false, std::int64_t expires = 0) {
        CookieStore::browser().set(StoredCookie{std::move(name), std::move(value),
                                                std::move(domain), std::move(path), secure,
                                                httpOnly, expires});
    }
};

TEST_F(BrowserCookies, readsTheSiteCookiesHttpOnlyIncluded) {
    put("sid", "abc", "site.example", "/", true);
    put("lang", "zh", ".site.example");
    put("other", "1", "elsewhere.example");
    EXPECT_EQ(browserCookies("http://site.example/views/page.html"), "sid=abc; lang=zh");
    // No scheme means http, a final "/" is dropped.
    EXPECT_EQ(browserCookies("site.example/"), "sid=abc; lang=zh");
    EXPECT_EQ(browserCookies("http://sub.site.example"), "lang=zh");
    EXPECT_EQ(browserCookies("http://nosite.example"), "");
}

TEST_F(BrowserCookies, matchesPathSecureAndExpiry) {
    put("root", "1", "h.example");
    put("deep", "2", "h.example", "/m/mvehxh");
    put("tls", "3", "h.example", "/", false, true);
    put("gone", "4", "h.example", "/", false, false, 1000);
    const auto inAnHour = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count() +
                          3600;
    put("kept", "5", "h.example", "/", false, false, inAnHour);
    EXPECT_EQ(browserCookies("http://h.example/m/mvehxh/getTfhdList"), "deep=2; root=1; kept=5");
    EXPECT_EQ(browserCookies("http://h.example/m/mvehxhother"), "root=1; kept=5");
    EXPECT_EQ(browserCookies("HTTPS://h.example/m/mvehxh"), "deep=2; root=1; tls=3; kept=5");
}

TEST_F(BrowserCookies, storeReplacesByNameDomainAndPathAndRemoves) {
    CookieStore& store = CookieStore::browser();
    put("a", "1", "H.Example");
    put("a", "2", "h.example");
    put("a", "3", "h.example", "/x");
    EXPECT_EQ(store.size(), 2u);
    EXPECT_EQ(store.cookiesFor("http://h.example/", CookieStore::HttpOnly::Include), "a=2");
    EXPECT_TRUE(store.remove("a", "h.example", "/"));
    EXPECT_FALSE(store.remove("a", "h.example", "/"));
    EXPECT_EQ(store.cookiesFor("http://h.example/x/y", CookieStore::HttpOnly::Include), "a=3");
}

TEST_F(BrowserCookies, storeTakesWritesAndReadsFromManyThreads) {
    std::atomic<bool> bad{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &bad] {
            for (int i = 0; i < 500; ++i) {
                put("c" + std::to_string(t), std::to_string(i), "mt.example");
                const std::string text = browserCookies("http://mt.example/");
                if (text.find("c" + std::to_string(t) + "=") == std::string::npos) {
                    bad = true;
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_FALSE(bad);
    EXPECT_EQ(CookieStore::browser().size(), 4u);
}

}  // namespace
}  // namespace yhz
