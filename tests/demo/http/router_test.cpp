// The handlers' side of the engine, without a network: which handler
// answers, what an error reply carries, how a query reads.
#include <gtest/gtest.h>

#include <stdexcept>

#include "demo/http/http_support.h"
#include "demo/http/router.h"

namespace yhz::web {
namespace {

Request request(std::string method, std::string target) {
    Request req;
    req.method = std::move(method);
    req.target = std::move(target);
    req.path = decodeLenient(std::string_view(req.target).substr(0, req.target.find('?')), false);
    return req;
}

TEST(Router, RoutesByMethodAndPathAndFillsErrorReplies) {
    Router router;
    router.get("/page", [](const Request&, Response& res) { res.setContent("page", "text/html"); });
    router.post("/form", [](const Request&, Response& res) { res.status = 400; });
    router.get("/broken", [](const Request&, Response&) { throw std::runtime_error("x"); });
    router.errorPage([](std::string_view path, Response& res) {
        res.setContent(std::to_string(res.status) + " " + std::string(path), "text/plain");
    });
    struct Case {
        std::string method, target;
        int status;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"GET", "/page?x=1", 200, "page"},
        {"HEAD", "/page", 200, "page"},  // the engine sends no body
        {"GET", "/%70age", 200, "page"},
        {"POST", "/page", 404, "404 /page"},
        {"PUT", "/form", 404, "404 /form"},
        {"POST", "/form", 400, "400 /form"},  // a handler's error without a body
        {"GET", "/nowhere", 404, "404 /nowhere"},
        {"GET", "/broken", 500, "internal error\n"},
    };
    for (const Case& c : cases) {
        const Response res = router.dispatch(request(c.method, c.target));
        EXPECT_EQ(res.status, c.status) << c.method << " " << c.target;
        EXPECT_EQ(res.body, c.body) << c.method << " " << c.target;
    }
    // A hook that answers first; one that passes leaves routing as it was.
    router.preRouting([](const Request& req, Response& res) {
        if (req.header("Host") == "good")
            return false;
        res.status = 421;
        return true;
    });
    Request misdirected = request("GET", "/page");
    EXPECT_EQ(router.dispatch(misdirected).body, "421 /page");
    misdirected.headers = {{"host", "good"}};
    EXPECT_EQ(router.dispatch(misdirected).body, "page");
    EXPECT_EQ(router.refusal(413, "/form").body, "413 /form");
}

TEST(Request, QueriesReadAsBrowsersSendThem) {
    const Request req =
        request("GET", "/t?userIdentifier=a%20b+c&flag&userIdentifier=2&&broken=%zz%4&empty=");
    EXPECT_EQ(req.queryCount("userIdentifier"), 2u);
    EXPECT_EQ(req.queryValue("userIdentifier"), "a b c");
    EXPECT_EQ(req.queryCount("flag"), 1u);
    EXPECT_EQ(req.queryValue("broken"), "%zz%4");
    EXPECT_EQ(req.queryValue("empty"), "");
    EXPECT_EQ(req.queryCount("missing"), 0u);
    EXPECT_EQ(request("GET", "/t").queryCount("a"), 0u);
}

}  // namespace
}  // namespace yhz::web
