#include "demo/site_sim/site_sim.h"

#include <ctime>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "demo/http/http_support.h"
#include "demo/site_sim/html_template.h"
#include "demo/site_sim/sessions.h"
#include "demo/world/site_data.h"

namespace yhz::sim {

extern const std::string_view kSitePageTemplate;
extern const std::string_view kIndexTemplate;

using demo::expiredPlates;
using demo::findOffice;
using demo::findRegion;
using demo::formatDay;
using demo::Office;
using demo::offices;
using demo::parseDay;
using demo::PlateType;
using demo::plateTypeCode;
using demo::plateTypeFromCode;
using demo::Region;
using demo::regions;
using demo::Release;
using demo::releases;

namespace {

constexpr std::string_view kHostSuffix = ".localhost";
constexpr std::string_view kCookieName = "JSESSIONID";
constexpr const char* kJson = "application/json;charset=UTF-8";
constexpr long kMaxPage = 100000;

std::string cookieValue(std::string_view header, std::string_view name) {
    std::size_t from = 0;
    while (from < header.size()) {
        std::size_t end = header.find(';', from);
        if (end == std::string_view::npos)
            end = header.size();
        std::string_view item = header.substr(from, end - from);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        if (item.size() > name.size() && item.substr(0, name.size()) == name &&
            item[name.size()] == '=') {
            return std::string(item.substr(name.size() + 1));
        }
        from = end + 1;
    }
    return {};
}

const Region* regionOfHost(std::string_view hostHeader) {
    std::string host = web::hostWithoutPort(hostHeader);
    if (host.size() <= kHostSuffix.size() ||
        host.compare(host.size() - kHostSuffix.size(), kHostSuffix.size(), kHostSuffix) != 0) {
        return nullptr;
    }
    return findRegion(std::string_view(host).substr(0, host.size() - kHostSuffix.size()));
}

std::int64_t today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return parseDay(text).value_or(0);
}

// A template that cannot be filled is a fault of this program, not of the
// request: 500, never half a page.
void servePage(web::Response& res, std::string_view pageTemplate, const TemplateValues& values) {
    if (std::optional<std::string> html = renderTemplate(pageTemplate, values)) {
        res.setContent(std::move(*html), "text/html; charset=utf-8");
    } else {
        res.status = 500;
        res.setContent("page template broken\n", "text/plain; charset=utf-8");
    }
}

void replyError(web::Response& res, int status, std::string_view message) {
    nlohmann::json body = {{"code", status}, {"message", message}};
    res.status = status;
    res.setContent(body.dump(), kJson);
}

struct Query {
    const Office* office = nullptr;
    PlateType type = PlateType::Small;
    long page = 0;
};

// Reads page, glbm and hpzl; answers the error itself when one is wrong.
std::optional<Query> readQuery(const Region& region, const std::vector<Office>& list,
                               const std::vector<web::FormField>& form, web::Response& res) {
    Query query;
    const std::string* page = web::findField(form, "page");
    auto number = page ? web::parseNumber(*page, 1, kMaxPage) : std::nullopt;
    const std::string* glbm = web::findField(form, "glbm");
    const std::string* hpzl = web::findField(form, "hpzl");
    auto type = hpzl ? plateTypeFromCode(*hpzl) : std::nullopt;
    query.office = glbm ? findOffice(list, *glbm) : nullptr;
    if (!number || !type) {
        replyError(res, 400, "参数错误");
        return std::nullopt;
    }
    if (!query.office) {
        replyError(res, 400, "管理部门不属于" + region.name);
        return std::nullopt;
    }
    query.page = *number;
    query.type = *type;
    return query;
}

// A request both endpoints accept: its form, the region's offices and the
// query read from them. `query.office` points into `offices`, so the two
// travel together (a moved vector keeps its elements where they are).
struct Admitted {
    std::vector<web::FormField> form;
    std::vector<Office> offices;
    Query query;
};

}  // namespace

struct SiteSim::Impl {
    SiteSimOptions options;
    Sessions sessions;
    std::unique_ptr<web::HttpServer> http;

    explicit Impl(SiteSimOptions opts)
        : options(std::move(opts)), sessions(options.maxSessions, options.sessionIdle) {}

    void routes(web::Router& server);
    void page(const Region& region, const web::Request& req, web::Response& res);
    void index(web::Response& res);
    // The checks both endpoints make and the query they read; answers the
    // error itself when one fails.
    std::optional<Admitted> admit(const Region& region, const web::Request& req,
                                  web::Response& res);
    void segments(const Region& region, const web::Request& req, web::Response& res);
    void expired(const Region& region, const web::Request& req, web::Response& res);
};

void SiteSim::Impl::routes(web::Router& server) {
    server.preRouting([this](const web::Request& req, web::Response& res) {
        if (regionOfHost(req.header("Host")))
            return false;
        std::string host = web::hostWithoutPort(req.header("Host"));
        if ((host == "localhost" || host == "127.0.0.1") && req.path == "/" &&
            req.method == "GET") {
            index(res);
        } else {
            res.status = 421;
            res.setContent("no site is served under this host name\n", "text/plain; charset=utf-8");
        }
        return true;
    });
    auto withRegion = [](auto handler) {
        return [handler](const web::Request& req, web::Response& res) {
            // The pre-routing handler has let only region hosts through.
            if (const Region* region = regionOfHost(req.header("Host"))) {
                handler(*region, req, res);
            }
        };
    };
    server.get("/", [](const web::Request&, web::Response& res) {
        res.redirect("/views/vehxhhdpub.html");
    });
    server.get("/views/vehxhhdpub.html",
               withRegion([this](const Region& r, const web::Request& req, web::Response& res) {
                   page(r, req, res);
               }));
    server.post("/m/mvehxh/getTfhdList",
                withRegion([this](const Region& r, const web::Request& req, web::Response& res) {
                    segments(r, req, res);
                }));
    server.post("/m/mvehxh/getDiscardList",
                withRegion([this](const Region& r, const web::Request& req, web::Response& res) {
                    expired(r, req, res);
                }));
    server.errorPage([](std::string_view path, web::Response& res) {
        if (path.substr(0, 3) == "/m/") {
            const int status = res.status;
            replyError(res, status, status == 413 ? "请求过大" : "请求无效");
            return;
        }
        res.setContent("error " + std::to_string(res.status) + "\n", "text/plain; charset=utf-8");
    });
}

void SiteSim::Impl::index(web::Response& res) {
    TemplateValues values;
    auto& rows = values.lists["regions"];
    for (const Region& region : regions()) {
        rows.push_back({{"host", region.code + std::string(kHostSuffix)},
                        {"port", std::to_string(http->port())},
                        {"name", region.name}});
    }
    servePage(res, kIndexTemplate, values);
}

void SiteSim::Impl::page(const Region& region, const web::Request& req, web::Response& res) {
    std::string session = cookieValue(req.header("Cookie"), kCookieName);
    if (!sessions.valid(session, region.code)) {
        session = sessions.create(region.code);
        res.setHeader("Set-Cookie", std::string(kCookieName) + "=" + session +
                                        "; Path=/; Secure; HttpOnly; SameSite=Lax");
    }
    const std::int64_t day = today();
    TemplateValues values;
    values.fields = {
        {"region", region.name}, {"startDay", formatDay(day - 30)}, {"endDay", formatDay(day)}};
    auto& rows = values.lists["offices"];
    for (const Office& office : offices(region)) {
        rows.push_back({{"glbm", office.glbm}, {"name", office.name}});
    }
    res.setHeader("Cache-Control", "no-store");
    servePage(res, kSitePageTemplate, values);
}

std::optional<Admitted> SiteSim::Impl::admit(const Region& region, const web::Request& req,
                                             web::Response& res) {
    if (req.header("X-Requested-With") != "XMLHttpRequest") {
        replyError(res, 403, "非法请求");
        return std::nullopt;
    }
    if (!sessions.valid(cookieValue(req.header("Cookie"), kCookieName), region.code)) {
        replyError(res, 401, "会话已失效，请刷新页面后重试");
        return std::nullopt;
    }
    auto form = web::parseForm(req.body);
    if (!form) {
        replyError(res, 400, "参数错误");
        return std::nullopt;
    }
    std::optional<Admitted> admitted(std::in_place);
    admitted->form = std::move(*form);
    admitted->offices = offices(region);
    auto query = readQuery(region, admitted->offices, admitted->form, res);
    if (!query)
        return std::nullopt;
    admitted->query = *query;
    return admitted;
}

namespace {

template <typename T>
std::pair<std::size_t, std::size_t> pageBounds(const std::vector<T>& all, long page, int size) {
    const auto first = static_cast<std::size_t>(page - 1) * static_cast<std::size_t>(size);
    if (first >= all.size())
        return {all.size(), all.size()};
    return {first, std::min(all.size(), first + static_cast<std::size_t>(size))};
}

}  // namespace

void SiteSim::Impl::segments(const Region& region, const web::Request& req, web::Response& res) {
    auto admitted = admit(region, req, res);
    if (!admitted)
        return;
    const Query& query = admitted->query;
    const std::vector<web::FormField>& form = admitted->form;
    const std::string* startText = web::findField(form, "startTime");
    const std::string* endText = web::findField(form, "endTime");
    // Plain day numbers with -1 for "unreadable": GCC 12 at -O2 cannot see
    // through two optionals compared with each other.
    const std::int64_t first = startText ? parseDay(*startText).value_or(-1) : -1;
    const std::int64_t last = endText ? parseDay(*endText).value_or(-1) : -1;
    if (first < 0 || last < 0)
        return replyError(res, 400, "投放日期格式错误");
    if (last < first)
        return replyError(res, 400, "开始日期不能晚于结束日期");
    if (last - first >= kMaxRangeDays)
        return replyError(res, 400, "查询时间跨度不能超过一年");

    const std::vector<Release> all = releases(region, *query.office, query.type, first, last);
    auto [from, to] = pageBounds(all, query.page, kSegmentPageSize);
    nlohmann::json content = nlohmann::json::array();
    for (std::size_t i = from; i < to; ++i) {
        content.push_back({{"subhd", all[i].start + " ~" + all[i].end},
                           {"tfrq", formatDay(all[i].day)},
                           {"glbm", query.office->glbm},
                           {"hpzl", plateTypeCode(query.type)}});
    }
    nlohmann::json body = {{"code", 200},
                           {"message", "成功"},
                           {"data",
                            {{"list",
                              {{"totalCount", all.size()},
                               {"page", query.page},
                               {"pageSize", kSegmentPageSize},
                               {"content", std::move(content)}}}}}};
    res.setContent(body.dump(), kJson);
}

void SiteSim::Impl::expired(const Region& region, const web::Request& req, web::Response& res) {
    auto admitted = admit(region, req, res);
    if (!admitted)
        return;
    const Query& query = admitted->query;
    const std::vector<std::string> all = expiredPlates(region, *query.office, query.type);
    auto [from, to] = pageBounds(all, query.page, kExpiredPageSize);
    nlohmann::json content = nlohmann::json::array();
    for (std::size_t i = from; i < to; ++i) {
        content.push_back({{"hphm", all[i]}, {"hpzl", plateTypeCode(query.type)}});
    }
    nlohmann::json body = {{"code", 200},
                           {"message", "成功"},
                           {"data",
                            {{"totalCount", all.size()},
                             {"page", query.page},
                             {"pageSize", kExpiredPageSize},
                             {"content", std::move(content)}}}};
    res.setContent(body.dump(), kJson);
}

SiteSim::SiteSim(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SiteSim::~SiteSim() {
    stop();
}

std::unique_ptr<SiteSim> SiteSim::start(SiteSimOptions options, std::string* error) {
    auto impl = std::make_unique<Impl>(std::move(options));
    auto tls = web::TlsContext::load(impl->options.certificatePath, impl->options.keyPath, error);
    if (!tls)
        return nullptr;
    impl->http = std::make_unique<web::HttpServer>(impl->options.limits, std::move(tls));
    impl->routes(impl->http->routes());
    if (impl->http->start(impl->options.address, impl->options.port) < 0) {
        if (error) {
            *error = "cannot listen on " + impl->options.address + ":" +
                     std::to_string(impl->options.port);
        }
        return nullptr;
    }
    return std::unique_ptr<SiteSim>(new SiteSim(std::move(impl)));
}

int SiteSim::port() const {
    return impl_->http->port();
}

bool SiteSim::stop() {
    return !impl_->http || impl_->http->stop();
}

}  // namespace yhz::sim
