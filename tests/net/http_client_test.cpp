#include "net/http_client.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "support/latency_proxy.h"
#include "support/loopback.h"

namespace yhz {
namespace {

using test::RunningServer;

// What the echo endpoint received, parsed back from its answer.
struct Echo {
    std::string requestLine;
    std::multimap<std::string, std::string> headers;  // names lower-cased
    std::string body;

    size_t countOf(const std::string& name) const { return headers.count(name); }
    std::string value(const std::string& name) const {
        const auto it = headers.find(name);
        return it == headers.end() ? std::string("<none>") : it->second;
    }
};

Echo parseEcho(const std::string& text) {
    Echo e;
    const size_t blank = text.find("\n\n");
    e.body = blank == std::string::npos ? "" : text.substr(blank + 2);
    const std::string head = text.substr(0, blank);
    size_t at = 0;
    bool first = true;
    while (at <= head.size()) {
        size_t end = head.find('\n', at);
        if (end == std::string::npos) {
            end = head.size();
        }
        const std::string line = head.substr(at, end - at);
        if (first) {
            e.requestLine = line;
            first = false;
        } else if (const size_t colon = line.find(": "); colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            for (char& c : name) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            e.headers.emplace(name, line.substr(colon + 2));
        }
        at = end + 1;
    }
    return e;
}

void echo(const httplib::Request& req, httplib::Response& res) {
    std::string text = req.method + " " + req.target + "\n";
    for (const auto& [name, value] : req.headers) {
        if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" &&
            name != "LOCAL_PORT") {
            text += name + ": " + value + "\n";
        }
    }
    text += "\n" + req.body;
    res.set_header("X-Method", req.method);
    res.set_content(text, "text/plain");
}

// Streams `size` bytes without announcing a length.
void streamBytes(httplib::Response& res, size_t size) {
    res.set_chunked_content_provider(
        "application/octet-stream",
        [size, sent = size_t{0}](size_t, httplib::DataSink& sink) mutable {
            const std::string block(64 * 1024, 'x');
            if (sent >= size) {
                sink.done();
                return true;
            }
            const size_t n = std::min(block.size(), size - sent);
            sent += n;
            return sink.write(block.data(), n);
        });
}

void addRoutes(httplib::Server& s) {
    s.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (req.method == "TRACE" || req.method == "CONNECT" || req.target.rfind("http", 0) == 0) {
            if (req.method == "CONNECT") {
                res.status = 403;
            }
            echo(req, res);
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    s.Get("/echo", echo);
    s.Post("/echo", echo);
    s.Put("/echo", echo);
    s.Delete("/echo", echo);
    s.Options("/echo", echo);
    s.Get("/set-cookie", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "a=1; Path=/");
        res.set_header("Set-Cookie", "b=2; HttpOnly");
        res.set_content("set", "text/plain");
    });
    s.Get(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        const int n = std::stoi(req.matches[1]);
        if (n == 0) {
            res.set_header("Set-Cookie", "final=1; Path=/");
            res.set_content("final", "text/plain");
            return;
        }
        res.set_header("Set-Cookie", "hop" + std::to_string(n) + "=1; Path=/");
        res.set_redirect("/hop/" + std::to_string(n - 1));
    });
    // A login hop: the session is set by the redirect, not by the page.
    s.Post("/session/start", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "sid=new; Path=/; Secure; HttpOnly");
        res.set_header("Set-Cookie", "tok=1; Path=/");
        res.set_redirect("/session/page", 302);
    });
    s.Get("/session/page", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "tok=2; Path=/");
        res.set_content("page", "text/plain");
    });
    // Which connection a request came on: its client port.
    s.Get("/peer", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(std::to_string(req.remote_port), "text/plain");
    });
    s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("missing here", "text/plain");
    });
    s.Get("/many-headers", [](const httplib::Request&, httplib::Response& res) {
        for (int i = 0; i < 80; ++i) {
            res.set_header("X-Filler-" + std::to_string(i), std::string(100, 'f'));
        }
        res.set_header("Set-Cookie", "late=1; Path=/");
        res.set_content("ok", "text/plain");
    });
    s.Get("/stream-over-cap", [](const httplib::Request&, httplib::Response& res) {
        streamBytes(res, HttpLimits{}.maxBodyBytes + 1);
    });
    s.Get("/stream-at-cap", [](const httplib::Request&, httplib::Response& res) {
        streamBytes(res, HttpLimits{}.maxBodyBytes);
    });
    s.Get("/declared-over-cap", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(HttpLimits{}.maxBodyBytes + 1, 'y'), "text/plain");
    });
}

class WebRequest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ca_ = new test::TestCa();
        HttpClient::setCaBundle(ca_->pemPath());
        auto plain = std::make_unique<httplib::Server>();
        addRoutes(*plain);
        http_ = new RunningServer(std::move(plain));

        test::KeyAndCert good = ca_->issueServer();
        auto tls = std::make_unique<httplib::SSLServer>(good.cert, good.key);
        addRoutes(*tls);
        https_ = new RunningServer(std::move(tls));

        test::KeyAndCert bad = test::TestCa::selfSigned();
        auto untrusted = std::make_unique<httplib::SSLServer>(bad.cert, bad.key);
        addRoutes(*untrusted);
        untrusted_ = new RunningServer(std::move(untrusted));
    }
    static void TearDownTestSuite() {
        delete untrusted_;
        delete https_;
        delete http_;
        HttpClient::setCaBundle("");
        delete ca_;
    }
    void SetUp() override { HttpClient::clearCookieEngine(); }

    static std::string http(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(http_->port()) + path;
    }
    static std::string https(const std::string& path) {
        return "https://127.0.0.1:" + std::to_string(https_->port()) + path;
    }

    HttpClient client_;
    static test::TestCa* ca_;
    static RunningServer* http_;
    static RunningServer* https_;
    static RunningServer* untrusted_;
};
test::TestCa* WebRequest::ca_ = nullptr;
RunningServer* WebRequest::http_ = nullptr;
RunningServer* WebRequest::https_ = nullptr;
RunningServer* WebRequest::untrusted_ = nullptr;

TEST_F(WebRequest, sendsEveryMethodByIndexAndGetOutsideTheRange) {
    const char* names[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
    for (int m = -1; m <= 8; ++m) {
        const std::string expected = (m < 0 || m > 7) ? "GET" : names[m];
        std::string reply;
        const std::string body =
            client_.webRequest(http("/echo"), {.method = m, .replyHeaders = &reply});
        EXPECT_NE(reply.find("X-Method: " + expected + "\r\n"), std::string::npos) << m << reply;
        if (expected != "HEAD") {
            EXPECT_EQ(parseEcho(body).requestLine, expected + " /echo") << m;
        } else {
            EXPECT_EQ(body, "");
        }
    }
}

TEST_F(WebRequest, completesTheHeaderTextAndSendsExactlyThoseLines) {
    const std::string address = http("/echo?q=1");
    std::string headers = "X-One: 1";
    const Echo e = parseEcho(client_.webRequest(address, {.headerText = &headers}));
    EXPECT_EQ(headers,
              "X-One: 1\r\nAccept: */*\r\nReferer: " + address + "\r\nAccept-Language: zh-cn");
    EXPECT_EQ(e.requestLine, "GET /echo?q=1");
    EXPECT_EQ(e.value("x-one"), "1");
    EXPECT_EQ(e.value("accept"), "*/*");
    EXPECT_EQ(e.value("referer"), address);
    EXPECT_EQ(e.value("accept-language"), "zh-cn");
    EXPECT_EQ(e.value("user-agent"), HttpClient::kDefaultAgent);
    EXPECT_EQ(e.countOf("cookie"), 0u);
    EXPECT_EQ(e.countOf("content-type"), 0u);
    EXPECT_EQ(e.countOf("content-length"), 0u);

    // An empty header text on a POST: Accept, Referer, Accept-Language, Content-Type.
    headers.clear();
    const Echo post = parseEcho(client_.webRequest(address, {.method = 1, .headerText = &headers}));
    EXPECT_EQ(headers,
              "Accept: */*\r\nReferer: " + address +
                  "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(post.value("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(post.countOf("content-type"), 1u);
}

TEST_F(WebRequest, headerTableRowsAreCaseSensitiveAndKeepCallerLines) {
    std::string headers = "accept: text/html\r\nContent-Type: text/plain\r\nUser-Agent: Probe/2";
    const Echo e =
        parseEcho(client_.webRequest(http("/echo"), {.method = 1, .headerText = &headers}));
    EXPECT_EQ(e.countOf("accept"), 2u);  // the lower-case line does not count as "Accept:"
    EXPECT_EQ(e.countOf("content-type"), 1u);
    EXPECT_EQ(e.value("content-type"), "text/plain");
    EXPECT_EQ(e.countOf("user-agent"), 1u);
    EXPECT_EQ(e.value("user-agent"), "Probe/2");

    const Echo put = parseEcho(client_.webRequest(http("/echo"), {.method = 3, .formText = "k=v"}));
    EXPECT_EQ(put.countOf("content-type"), 0u);
    EXPECT_EQ(put.body, "k=v");
}

TEST_F(WebRequest, agentRuleOfTheHeaderText) {
    using http_detail::agentFor;
    EXPECT_EQ(agentFor(""), HttpClient::kDefaultAgent);
    EXPECT_EQ(agentFor("X: 1\r\nUser-Agent:  Tool/1 \r\nY: 2"), "Tool/1");
    // Found without regard to case, cut out with it: the rest after the first ":".
    EXPECT_EQ(agentFor("user-agent: low"), "low");
    EXPECT_EQ(agentFor("A: b\r\nuser-agent: low"), "b\r\nuser-agent: low");
}

TEST_F(WebRequest, bodyRules) {
    std::string bytes;
    Echo e = parseEcho(client_.webRequest(
        http("/echo"), {.method = 1, .formText = "a=1&b=2", .bodyBytes = &bytes}));
    EXPECT_EQ(e.body, "a=1&b=2");
    EXPECT_EQ(bytes, "a=1&b=2");

    bytes = std::string("raw\0bytes", 9);
    e = parseEcho(client_.webRequest(http("/echo"),
                                     {.method = 1, .formText = "ignored", .bodyBytes = &bytes}));
    EXPECT_EQ(e.body, std::string("raw\0bytes", 9));
    EXPECT_EQ(e.value("content-length"), "9");

    bytes = "not sent";
    e = parseEcho(client_.webRequest(http("/echo"), {.formText = "nor this", .bodyBytes = &bytes}));
    EXPECT_EQ(e.body, "");
    EXPECT_EQ(e.countOf("content-length"), 0u);
    EXPECT_EQ(bytes, "not sent");

    e = parseEcho(client_.webRequest(http("/echo"), {.method = 5, .formText = "del=1"}));
    EXPECT_EQ(e.requestLine, "DELETE /echo");
    EXPECT_EQ(e.body, "del=1");
}

TEST_F(WebRequest, suppliedCookieTextIsSentExactlyAndMerged) {
    CookieJar cookies = "old=1; a=0";
    CookieJar received;
    std::string headers;
    client_.webRequest(
        http("/set-cookie"),
        {.cookieText = &cookies, .receivedCookies = &received, .headerText = &headers});
    EXPECT_EQ(received, "a=1; b=2; old=1");
    EXPECT_EQ(cookies, "a=1; b=2; old=1");
    EXPECT_NE(headers.find("\r\nCookie: old=1; a=0"), std::string::npos);

    // The next request sends the updated text, and only it.
    Echo e = parseEcho(client_.webRequest(http("/echo"), {.cookieText = &cookies}));
    EXPECT_EQ(e.countOf("cookie"), 1u);
    EXPECT_EQ(e.value("cookie"), "a=1; b=2; old=1");

    // A text that already holds "Cookie:" is its own line.
    CookieJar line = "Cookie: z=1";
    e = parseEcho(client_.webRequest(http("/echo"), {.cookieText = &line}));
    EXPECT_EQ(e.value("cookie"), "z=1");

    CookieJar keep = "k=1";
    client_.webRequest(http("/set-cookie"),
                       {.cookieText = &keep, .receivedCookies = &received, .mergeCookies = false});
    EXPECT_EQ(keep, "k=1");
    EXPECT_EQ(received, "a=1; b=2");
}

TEST_F(WebRequest, aClientKeepingConnectionsReusesThemAndSharesNoCookie) {
    const HttpClient keeping = HttpClient::keepingConnections();
    for (const std::string& peer : {http("/peer"), https("/peer")}) {
        SCOPED_TRACE(peer);
        CookieJar cookies = "s=1";
        const std::string first = keeping.webRequest(peer, {.cookieText = &cookies});
        ASSERT_FALSE(first.empty());
        EXPECT_EQ(keeping.webRequest(peer, {.cookieText = &cookies}), first);
        // Its copies share the connections.
        const HttpClient copy = keeping;
        EXPECT_EQ(copy.webRequest(peer, {.cookieText = &cookies}), first);
        // An ordinary client opens one per call.
        EXPECT_NE(client_.webRequest(peer, {.cookieText = &cookies}),
                  client_.webRequest(peer, {.cookieText = &cookies}));
    }
    // Cookies a reply set never ride along on the kept connection: each call
    // sends exactly its own text.
    CookieJar first = "x=1";
    keeping.webRequest(https("/set-cookie"), {.cookieText = &first, .mergeCookies = false});
    CookieJar next = "y=2";
    const Echo e = parseEcho(keeping.webRequest(https("/echo"), {.cookieText = &next}));
    EXPECT_EQ(e.value("cookie"), "y=2");
    // Without cookie text the call takes the shared cookie engine, as ever.
    EXPECT_EQ(keeping.webRequest(http("/set-cookie")), "set");
}

// Two threads calling at the same time through a proxy 20 ms away each way:
// each call has a connection of its own, and every later call rides one of
// the two again, one round trip instead of two (three over TLS).
TEST_F(WebRequest, concurrentCallsOfAKeepingClientKeepAConnectionEach) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kRoundTrip = std::chrono::milliseconds(40);
    for (const bool tls : {false, true}) {
        SCOPED_TRACE(tls ? "https" : "http");
        test::LatencyProxy far(tls ? https_->port() : http_->port(), kRoundTrip / 2);
        const std::string peer = std::string(tls ? "https" : "http") +
                                 "://127.0.0.1:" + std::to_string(far.port()) + "/peer";
        const HttpClient keeping = HttpClient::keepingConnections();
        constexpr int kRounds = 3;
        std::barrier together(2);
        std::mutex mutex;
        std::set<std::string> peers;
        std::vector<Clock::duration> first;
        std::vector<Clock::duration> later;
        auto caller = [&] {
            for (int round = 0; round < kRounds; ++round) {
                together.arrive_and_wait();
                const auto start = Clock::now();
                CookieJar none;
                const std::string seen = keeping.webRequest(peer, {.cookieText = &none});
                const std::scoped_lock lock(mutex);
                peers.insert(seen);
                (round == 0 ? first : later).push_back(Clock::now() - start);
            }
        };
        std::thread other(caller);
        caller();
        other.join();
        EXPECT_EQ(far.connections(), 2);
        EXPECT_EQ(peers.size(), 2u);
        EXPECT_FALSE(peers.count(""));
        for (const Clock::duration took : first) {
            EXPECT_GE(took, (tls ? 3 : 2) * kRoundTrip);
        }
        for (const Clock::duration took : later) {
            EXPECT_GE(took, kRoundTrip);
        }
    }
}

TEST_F(WebRequest, withoutCookieTextTheSharedEngineKeepsCookies) {
    client_.webRequest(http("/set-cookie"));
    // The engine orders cookies its own way.
    const auto bothCookies = ::testing::AnyOf("a=1; b=2", "b=2; a=1");
    Echo e = parseEcho(client_.webRequest(http("/echo")));
    EXPECT_THAT(e.value("cookie"), bothCookies);

    // Another thread's request shares the engine.
    std::string fromThread;
    std::thread([&] { fromThread = client_.webRequest(http("/echo")); }).join();
    EXPECT_THAT(parseEcho(fromThread).value("cookie"), bothCookies);

    // A supplied empty text switches the engine off: no Cookie line at all.
    CookieJar empty;
    CookieJar received = "stale";
    e = parseEcho(
        client_.webRequest(http("/echo"), {.cookieText = &empty, .receivedCookies = &received}));
    EXPECT_EQ(e.countOf("cookie"), 0u);
    EXPECT_EQ(received, "");

    HttpClient::clearCookieEngine();
    e = parseEcho(client_.webRequest(http("/echo")));
    EXPECT_EQ(e.countOf("cookie"), 0u);
}

TEST_F(WebRequest, redirectsFollowedOrNotAndReplyHeadersOfTheFinalAnswer) {
    CookieJar cookies;
    CookieJar received;
    std::string reply;
    EXPECT_EQ(client_.webRequest(
                  http("/hop/2"),
                  {.cookieText = &cookies, .receivedCookies = &received, .replyHeaders = &reply}),
              "final");
    EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << reply;
    EXPECT_EQ(reply.find("hop"), std::string::npos);
    EXPECT_EQ(reply.substr(reply.size() - 2), "\r\n");
    // Every answer of the chain set a cookie; the later ones come first.
    EXPECT_EQ(received, "final=1; hop1=1; hop2=1");
    EXPECT_EQ(cookies, "final=1; hop1=1; hop2=1");

    cookies.clear();
    client_.webRequest(http("/hop/2"), {.cookieText = &cookies,
                                        .receivedCookies = &received,
                                        .replyHeaders = &reply,
                                        .noRedirect = true});
    EXPECT_EQ(reply.rfind("HTTP/1.1 302", 0), 0u) << reply;
    EXPECT_EQ(received, "hop2=1");
}

TEST_F(WebRequest, cookiesOfARedirectHopJoinTheCookieText) {
    CookieJar cookies = "sid=old; keep=1";
    CookieJar received;
    EXPECT_EQ(
        client_.webRequest(http("/session/start"),
                           {.method = 1, .cookieText = &cookies, .receivedCookies = &received}),
        "page");
    EXPECT_EQ(received, "tok=2; sid=new; keep=1");
    EXPECT_EQ(cookies, "tok=2; sid=new; keep=1");

    // A chain that fails keeps no cookie of its hops.
    CookieJar failed = "keep=1";
    HttpClient small(HttpLimits{.maxBodyBytes = 2});
    EXPECT_EQ(small.webRequest(http("/session/start"), {.method = 1, .cookieText = &failed}), "");
    EXPECT_EQ(failed, "keep=1");
}

TEST_F(WebRequest, errorStatusIsAReplyAndLongHeadersKeepTheirCookies) {
    std::string reply;
    EXPECT_EQ(client_.webRequest(http("/missing"), {.replyHeaders = &reply}), "missing here");
    EXPECT_EQ(reply.rfind("HTTP/1.1 404", 0), 0u);

    CookieJar received;
    EXPECT_EQ(client_.webRequest(http("/many-headers"),
                                 {.receivedCookies = &received, .replyHeaders = &reply}),
              "ok");
    EXPECT_GT(reply.size(), 5000u);
    EXPECT_EQ(received, "late=1");
}

TEST_F(WebRequest, httpsVerifiedAgainstTheConfiguredCaInAnyLetterCase) {
    Echo e = parseEcho(client_.webRequest(https("/echo")));
    EXPECT_EQ(e.requestLine, "GET /echo");
    const std::string upper = "HTTPS://127.0.0.1:" + std::to_string(https_->port()) + "/echo";
    e = parseEcho(client_.webRequest(upper, {.method = 1, .formText = "x=1"}));
    EXPECT_EQ(e.requestLine, "POST /echo");
    EXPECT_EQ(e.body, "x=1");
    EXPECT_EQ(e.value("referer"), upper);

    CookieJar cookies = "keep=1";
    std::string reply = "untouched";
    const std::string untrusted =
        "https://127.0.0.1:" + std::to_string(untrusted_->port()) + "/echo";
    EXPECT_EQ(client_.webRequest(untrusted, {.cookieText = &cookies, .replyHeaders = &reply}), "");
    EXPECT_EQ(reply, "");
    EXPECT_EQ(cookies, "keep=1");

    // Plain http to the TLS port is no reply either.
    EXPECT_EQ(client_.webRequest("http://127.0.0.1:" + std::to_string(https_->port()) + "/echo"),
              "");
}

TEST_F(WebRequest, failuresGiveEmptyBytes) {
    std::string reply = "untouched";
    EXPECT_EQ(client_.webRequest("http://127.0.0.1:" + std::to_string(test::closedPort()) + "/",
                                 {.replyHeaders = &reply}),
              "");
    EXPECT_EQ(reply, "");

    test::SilentListener silent;
    HttpLimits quick;
    quick.stallTimeout = std::chrono::seconds(1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(
        HttpClient(quick).webRequest("http://127.0.0.1:" + std::to_string(silent.port()) + "/"),
        "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    EXPECT_EQ(client_.webRequest(http("/stream-over-cap")), "");
    EXPECT_EQ(client_.webRequest(http("/declared-over-cap")), "");
    EXPECT_EQ(client_.webRequest(http("/stream-at-cap")).size(), HttpLimits{}.maxBodyBytes);
}

// A stop or the total bound ends a transfer that the stall bound never would:
// both servers here keep the connection busy for far longer than the test.
TEST_F(WebRequest, stopTokenAndTotalBoundEndTransfersThatNeverFinish) {
    using Clock = std::chrono::steady_clock;
    test::DrippingServer dripping(std::chrono::milliseconds(200));
    test::SilentListener silent;
    for (const int port : {dripping.port(), silent.port()}) {
        std::stop_source stop;
        std::string reply = "untouched";
        Clock::time_point returned;
        std::thread caller([&] {
            reply = client_.webRequest("http://127.0.0.1:" + std::to_string(port) + "/",
                                       {.stop = stop.get_token()});
            returned = Clock::now();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto asked = Clock::now();
        stop.request_stop();
        caller.join();
        EXPECT_EQ(reply, "");
        // Generous against a loaded machine; the stall bound is 30 s.
        EXPECT_LT(returned - asked, std::chrono::seconds(2));
    }

    std::stop_source already;
    already.request_stop();
    EXPECT_EQ(client_.webRequest(http("/echo"), {.stop = already.get_token()}), "");

    HttpLimits total;
    total.totalTimeout = std::chrono::milliseconds(800);
    const auto start = Clock::now();
    EXPECT_EQ(
        HttpClient(total).webRequest("http://127.0.0.1:" + std::to_string(dripping.port()) + "/"),
        "");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

TEST_F(WebRequest, proxyTextWithTheHttpRule) {
    using http_detail::proxyForScheme;
    EXPECT_EQ(proxyForScheme("http=p:1", "http"), "p:1");
    EXPECT_EQ(proxyForScheme("http=p:1", "https"), "");
    EXPECT_EQ(proxyForScheme("p:2", "https"), "p:2");
    EXPECT_EQ(proxyForScheme("https=s:3 http=h:4", "http"), "h:4");

    const std::string proxy = "127.0.0.1:" + std::to_string(http_->port());
    // The loopback server plays the proxy; the named host is never looked up.
    Echo e = parseEcho(client_.webRequest("http://proxied.invalid/page?x=1", {.proxy = proxy}));
    EXPECT_EQ(e.requestLine, "GET http://proxied.invalid/page?x=1");
    // For https the proxy is asked for a tunnel, which this one refuses.
    EXPECT_EQ(client_.webRequest("https://proxied.invalid/page", {.proxy = proxy}), "");
}

TEST_F(WebRequest, manyThreadsAtOnce) {
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const std::string form = "t=" + std::to_string(t) + "&i=" + std::to_string(i);
                CookieJar cookies = "t=" + std::to_string(t);
                const Echo e = parseEcho(
                    client_.webRequest((i % 2 == 0) ? http("/echo") : https("/echo"),
                                       {.method = 1, .formText = form, .cookieText = &cookies}));
                if (e.body == form && e.value("cookie") == "t=" + std::to_string(t)) {
                    ++good;
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(good, 100);
}

}  // namespace
}  // namespace yhz
