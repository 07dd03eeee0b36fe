#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "demo/site_sim/site_sim.h"
#include "demo/world/site_data.h"
#include "support/demo_ca.h"
#include "support/temp_dir.h"

namespace yhz::sim {
namespace {

using demo::findRegion;
using demo::offices;
using demo::parseDay;
using demo::PlateType;
using demo::Region;
using demo::regions;
using demo::segmentPool;

using testing::TempDir;

constexpr const char* kYancheng = "js-yc.localhost";
constexpr const char* kForm = "application/x-www-form-urlencoded; charset=UTF-8";

class SiteSimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir("yhz-sim-test");
        ASSERT_EQ(testing::makeDemoCa(dir->path()), 0);
        SiteSimOptions options;
        options.port = 0;
        options.certificatePath = (dir->path() / "server.pem").string();
        options.keyPath = (dir->path() / "server.key").string();
        std::string error;
        sim = SiteSim::start(options, &error).release();
        ASSERT_NE(sim, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete sim;
        delete dir;
    }

    static std::unique_ptr<httplib::SSLClient> client(const std::string& host,
                                                      bool trustDemoCa = true) {
        auto c = std::make_unique<httplib::SSLClient>(host, sim->port());
        c->set_hostname_addr_map({{host, "127.0.0.1"}});
        if (trustDemoCa)
            c->set_ca_cert_path((dir->path() / "ca.pem").string());
        c->enable_server_certificate_verification(true);
        c->set_read_timeout(std::chrono::seconds(10));
        return c;
    }
    // Loads the page and answers the session cookie it set ("JSESSIONID=...").
    static std::string session(const std::string& host) {
        auto res = client(host)->Get("/views/vehxhhdpub.html");
        if (!res || res->status != 200)
            return {};
        std::string cookie = res->get_header_value("Set-Cookie");
        return cookie.substr(0, cookie.find(';'));
    }
    static httplib::Result post(const std::string& host, const std::string& path,
                                const std::string& body, const std::string& cookie,
                                bool ajax = true) {
        httplib::Headers headers;
        if (!cookie.empty())
            headers.emplace("Cookie", cookie);
        if (ajax)
            headers.emplace("X-Requested-With", "XMLHttpRequest");
        return client(host)->Post(path.c_str(), headers, body, kForm);
    }
    static nlohmann::json postJson(const std::string& host, const std::string& path,
                                   const std::string& body, const std::string& cookie) {
        auto res = post(host, path, body, cookie);
        if (!res)
            return nullptr;
        return nlohmann::json::parse(res->body, nullptr, false);
    }
    static std::string officeOf(const char* code, std::size_t k) {
        return offices(*findRegion(code))[k].glbm;
    }

    static TempDir* dir;
    static SiteSim* sim;
};

TempDir* SiteSimTest::dir = nullptr;
SiteSim* SiteSimTest::sim = nullptr;

TEST_F(SiteSimTest, PageOffersTheChoicesAndSetsAnHttpOnlySessionCookie) {
    auto res = client(kYancheng)->Get("/views/vehxhhdpub.html");
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, 200);
    const std::string& html = res->body;
    EXPECT_NE(html.find("江苏盐城"), std::string::npos);
    EXPECT_NE(html.find("<select id=\"glbm\" name=\"glbm\"><option value=\"\">请选择</option>"
                        "<option value=\"320900000400\">"),
              std::string::npos);
    EXPECT_NE(html.find("<option value=\"02\">小型汽车</option>"), std::string::npos);
    EXPECT_NE(html.find("<option value=\"52\">小型新能源汽车</option>"), std::string::npos);
    std::smatch dates;
    ASSERT_TRUE(
        std::regex_search(html, dates,
                          std::regex("id=\"startTime\"[^>]*value=\"(\\d{4}-\\d\\d-\\d\\d)\"[^]*"
                                     "id=\"endTime\"[^>]*value=\"(\\d{4}-\\d\\d-\\d\\d)\"")));
    EXPECT_EQ(*parseDay(dates[2].str()) - *parseDay(dates[1].str()), 30);

    std::string cookie = res->get_header_value("Set-Cookie");
    EXPECT_TRUE(std::regex_match(cookie, std::regex("JSESSIONID=[0-9A-F]{32}; Path=/; Secure; "
                                                    "HttpOnly; SameSite=Lax")))
        << cookie;
    // A live session is kept, not replaced.
    httplib::Headers headers = {{"Cookie", cookie.substr(0, cookie.find(';'))}};
    auto again = client(kYancheng)->Get("/views/vehxhhdpub.html", headers);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->has_header("Set-Cookie"));
}

TEST_F(SiteSimTest, SegmentsComePageByPageUntilAnEmptyPage) {
    const std::string cookie = session(kYancheng);
    ASSERT_FALSE(cookie.empty());
    const std::string form =
        "&glbm=" + officeOf("js-yc", 1) + "&hpzl=02&startTime=2024-03-01&endTime=2024-04-29";
    std::vector<nlohmann::json> rows;
    long total = -1;
    int page = 1;
    for (; page < 50; ++page) {
        auto json = postJson(kYancheng, "/m/mvehxh/getTfhdList",
                             "page=" + std::to_string(page) + form, cookie);
        ASSERT_TRUE(json.is_object());
        EXPECT_EQ(json["code"], 200);
        const auto& list = json["data"]["list"];
        if (total < 0)
            total = list["totalCount"].get<long>();
        EXPECT_EQ(list["totalCount"].get<long>(), total);
        const auto& content = list["content"];
        ASSERT_TRUE(content.is_array());
        EXPECT_LE(content.size(), static_cast<std::size_t>(kSegmentPageSize));
        if (content.empty())
            break;
        for (const auto& row : content)
            rows.push_back(row);
    }
    EXPECT_GT(total, static_cast<long>(kSegmentPageSize));  // more than one page
    EXPECT_EQ(static_cast<long>(rows.size()), total);
    EXPECT_EQ(page, static_cast<int>((total + kSegmentPageSize - 1) / kSegmentPageSize) + 1);
    std::string previous;
    for (const auto& row : rows) {
        const std::string subhd = row["subhd"];
        const std::string tfrq = row["tfrq"];
        std::smatch m;
        ASSERT_TRUE(std::regex_match(subhd, m, std::regex("(J[0-9A-Z]{3}00) ~(J[0-9A-Z]{3}99)")))
            << subhd;
        EXPECT_EQ(m[1].str().substr(0, 4), m[2].str().substr(0, 4));
        EXPECT_GE(tfrq, std::string("2024-03-01"));
        EXPECT_LE(tfrq, std::string("2024-04-29"));
        EXPECT_GT(tfrq, previous);
        previous = tfrq;
    }
    // The same question gets the same answer.
    auto first = post(kYancheng, "/m/mvehxh/getTfhdList", "page=1" + form, cookie);
    auto second = post(kYancheng, "/m/mvehxh/getTfhdList", "page=1" + form, cookie);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->body, second->body);
    EXPECT_EQ(first->get_header_value("Content-Type"), "application/json;charset=UTF-8");
}

TEST_F(SiteSimTest, ExpiredPlatesComeFromTheOfficesSegments) {
    const std::string cookie = session(kYancheng);
    const std::string glbm = officeOf("js-yc", 0);
    const Region& region = *findRegion("js-yc");
    std::set<std::string> pool;
    for (const auto& s : segmentPool(region, offices(region)[0], PlateType::NewEnergy)) {
        pool.insert(s.substr(0, 5));
    }
    std::size_t seen = 0;
    long total = 0;
    for (int page = 1; page < 100; ++page) {
        auto json = postJson(kYancheng, "/m/mvehxh/getDiscardList",
                             "page=" + std::to_string(page) + "&glbm=" + glbm + "&hpzl=52", cookie);
        const auto& data = json["data"];
        total = data["totalCount"].get<long>();
        const auto& content = data["content"];
        EXPECT_LE(content.size(), static_cast<std::size_t>(kExpiredPageSize));
        if (content.empty())
            break;
        for (const auto& row : content) {
            const std::string plate = row["hphm"];
            ASSERT_EQ(plate.size(), 10u) << plate;  // 苏 (3 bytes) and seven more
            EXPECT_EQ(plate.substr(0, 3), "苏");
            EXPECT_EQ(pool.count(plate.substr(3, 5)), 1u) << plate;
            ++seen;
        }
    }
    EXPECT_GT(total, 0);
    EXPECT_EQ(static_cast<long>(seen), total);
}

TEST_F(SiteSimTest, EndpointsWantTheSessionCookieAndTheAjaxHeader) {
    const std::string cookie = session(kYancheng);
    const std::string body = "page=1&glbm=" + officeOf("js-yc", 0) + "&hpzl=02";
    auto check = [&](const httplib::Result& res, int status) {
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, status);
        auto json = nlohmann::json::parse(res->body);
        EXPECT_EQ(json["code"], status);
        EXPECT_FALSE(json.contains("data"));
        EXPECT_FALSE(json["message"].get<std::string>().empty());
    };
    for (const char* path : {"/m/mvehxh/getDiscardList", "/m/mvehxh/getTfhdList"}) {
        check(post(kYancheng, path, body, ""), 401);
        check(post(kYancheng, path, body, "JSESSIONID=0123456789ABCDEF0123456789ABCDEF"), 401);
        check(post(kYancheng, path, body, cookie, false), 403);
        // A session of another region's site does not open this one.
        check(post(kYancheng, path, body, session("bj.localhost")), 401);
    }
    auto fine = post(kYancheng, "/m/mvehxh/getDiscardList", body, "other=1; " + cookie);
    ASSERT_TRUE(fine);
    EXPECT_EQ(fine->status, 200);
}

TEST_F(SiteSimTest, TheHostHeaderPicksTheRegion) {
    auto res = client(kYancheng)->Get("/views/vehxhhdpub.html", {{"Host", "gd.localhost:443"}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_NE(res->body.find("广东"), std::string::npos);
    EXPECT_NE(res->body.find(officeOf("gd", 2)), std::string::npos);
    EXPECT_EQ(res->body.find("江苏盐城"), std::string::npos);

    for (const char* host : {"nowhere.localhost", "localhost.", "js-yc.example", ""}) {
        auto other = client(kYancheng)->Get("/views/vehxhhdpub.html", {{"Host", host}});
        ASSERT_TRUE(other) << host;
        EXPECT_EQ(other->status, 421) << host;
    }
    // A form for an office of another region is refused.
    const std::string cookie = session(kYancheng);
    auto foreign = post(kYancheng, "/m/mvehxh/getDiscardList",
                        "page=1&glbm=" + officeOf("gd", 0) + "&hpzl=02", cookie);
    ASSERT_TRUE(foreign);
    EXPECT_EQ(foreign->status, 400);
}

TEST_F(SiteSimTest, EveryRegionIsServedWithACertificateOfTheDemoAuthority) {
    for (const Region& region : regions()) {
        const std::string host = region.code + ".localhost";
        auto res = client(host)->Get("/views/vehxhhdpub.html");
        ASSERT_TRUE(res) << host << ": " << httplib::to_string(res.error());
        EXPECT_NE(res->body.find(region.name), std::string::npos) << host;
    }
    // Without the demo authority, or for a name the certificate lacks, the
    // handshake fails.
    auto untrusted = client(kYancheng, false)->Get("/views/vehxhhdpub.html");
    EXPECT_FALSE(untrusted);
    auto unnamed = client("other.localhost")->Get("/views/vehxhhdpub.html");
    EXPECT_FALSE(unnamed);
    EXPECT_EQ(unnamed.error(), httplib::Error::SSLServerVerification);
}

TEST_F(SiteSimTest, TheDemoAuthorityCanVouchForLoopbackNamesOnly) {
    // Whoever holds the authority's key still cannot make a certificate the
    // demo build would take for another host.
    auto verifies = [&](const std::string& name, const std::string& san) {
        const std::string d = "'" + dir->path().string() + "'";
        const std::string command =
            "cd " + d + " && openssl ecparam -name prime256v1 -genkey -noout -out o.key && " +
            "openssl req -new -key o.key -subj '/CN=" + name + "' -out o.csr && " +
            "printf 'subjectAltName=" + san + "\\n' > o.ext && " +
            "openssl x509 -req -in o.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 " +
            "-extfile o.ext -out o.pem && openssl verify -CAfile ca.pem o.pem";
        return std::system(("(" + command + ") > /dev/null 2>&1").c_str()) == 0;
    };
    EXPECT_TRUE(verifies("js-yc.localhost", "DNS:js-yc.localhost,IP:127.0.0.1"));
    EXPECT_FALSE(verifies("bank.example", "DNS:bank.example"));
    EXPECT_FALSE(verifies("localhost", "DNS:localhost,IP:10.0.0.1"));
    EXPECT_FALSE(verifies("localhost.example", "DNS:localhost.example"));
}

TEST_F(SiteSimTest, BadFormsGetAnErrorAndTheServerKeepsServing) {
    const std::string cookie = session(kYancheng);
    const std::string glbm = officeOf("js-yc", 0);
    const std::string dates = "&startTime=2024-01-01&endTime=2024-01-31";
    const std::vector<std::string> bad = {
        "",
        "page=1",
        "page=0&glbm=" + glbm + "&hpzl=02" + dates,
        "page=-1&glbm=" + glbm + "&hpzl=02" + dates,
        "page=abc&glbm=" + glbm + "&hpzl=02" + dates,
        "page=99999999999999999999&glbm=" + glbm + "&hpzl=02" + dates,
        "page=1&glbm=" + glbm + "&hpzl=99" + dates,
        "page=1&glbm=&hpzl=02" + dates,
        "page=1&glbm=" + glbm + "&hpzl=02&startTime=2024-02-30&endTime=2024-03-01",
        "page=1&glbm=" + glbm + "&hpzl=02&startTime=2024-03-01&endTime=2024-02-01",
        "page=1&glbm=" + glbm + "&hpzl=02&startTime=2022-12-31&endTime=2024-01-01",
        "page=1&glbm=" + glbm + "&hpzl=02",
        "page=1&glbm=%G0&hpzl=02" + dates,
        "page=1&=x&hpzl=02" + dates,
    };
    for (const std::string& body : bad) {
        auto res = post(kYancheng, "/m/mvehxh/getTfhdList", body, cookie);
        ASSERT_TRUE(res) << body;
        EXPECT_EQ(res->status, 400) << body;
        auto json = nlohmann::json::parse(res->body, nullptr, false);
        ASSERT_TRUE(json.is_object()) << body;
        EXPECT_FALSE(json.contains("data")) << body;
    }
    auto huge =
        post(kYancheng, "/m/mvehxh/getTfhdList", "page=1&x=" + std::string(9000, 'a'), cookie);
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 413);
    EXPECT_FALSE(nlohmann::json::parse(huge->body).contains("data"));
    auto unknown = client(kYancheng)->Get("/views/other.html");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);

    // Plain text and garbage on the TLS port.
    EXPECT_TRUE(testing::sendRaw(sim->port(), "GET / HTTP/1.1\r\nHost: js-yc.localhost\r\n\r\n"));
    EXPECT_TRUE(testing::sendRaw(sim->port(), std::string("\x16\x03\x01\xff\xff garbage", 14)));

    const std::string good = "page=1&glbm=" + glbm + "&hpzl=02" + dates;
    auto res = post(kYancheng, "/m/mvehxh/getTfhdList", good, cookie);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    // Values the page's own script sends percent-encoded read the same.
    auto encoded = post(
        kYancheng, "/m/mvehxh/getTfhdList",
        "page=1&glbm=" + glbm + "&hpzl=02&startTime=2024%2D01%2D01&endTime=2024-01-31", cookie);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->body, res->body);
}

TEST(SiteSimStart, RefusesAMissingCertificate) {
    SiteSimOptions options;
    options.port = 0;
    options.certificatePath = "/nonexistent/server.pem";
    options.keyPath = "/nonexistent/server.key";
    std::string error;
    EXPECT_EQ(SiteSim::start(options, &error), nullptr);
    EXPECT_NE(error.find("certificate"), std::string::npos);
}

}  // namespace
}  // namespace yhz::sim
