#include "demo/service/service.h"

#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>

#include "demo/http/http_support.h"
#include "demo/service/byte_range.h"
#include "demo/service/package_signer.h"
#include "demo/service/registry.h"
#include "demo/world/site_data.h"
#include "package_signing/digest.h"
#include "package_signing/package_statement.h"
#include "text/encoding.h"

namespace yhz::service {

namespace {

constexpr const char* kGbkText = "text/plain; charset=GBK";
constexpr std::size_t kMaxIdentifier = 64;

bool validIdentifier(std::string_view id) {
    if (id.empty() || id.size() > kMaxIdentifier)
        return false;
    for (char c : id) {
        bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                  c == '-' || c == '_' || c == '.';
        if (!ok)
            return false;
    }
    return true;
}

// A plate as the relay form carries it (UTF-8): a province abbreviation, the
// office letter and a serial of five (small car, "02") or six (new-energy
// car, "52") letters and digits.
bool validPlate(std::string_view plate, std::string_view type) {
    constexpr std::size_t provinceBytes = 3;
    if (plate.size() < provinceBytes + 1)
        return false;
    if (!demo::isProvinceAbbreviation(plate.substr(0, provinceBytes)))
        return false;
    char office = plate[provinceBytes];
    if (office < 'A' || office > 'Z')
        return false;
    std::string_view serial = plate.substr(provinceBytes + 1);
    std::size_t wanted = type == "02" ? 5 : type == "52" ? 6 : 0;
    if (wanted == 0 || serial.size() != wanted)
        return false;
    for (char c : serial) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Decimal 1..max, nothing else.
int lineNumber(std::string_view text, int max) {
    if (text.empty() || text.size() > 4)
        return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= max ? value : 0;
}

int boundedLineCount(const std::optional<std::string>& text) {
    if (!text)
        return 0;
    int lines = lineNumber(*text, 99);
    return lines;
}

}  // namespace

struct Service::Impl {
    ServiceOptions options;
    std::unique_ptr<Registry> registry;
    AccessBook access;
    web::AddressRate newUsers;
    web::AddressRate unusedTokens;
    web::HttpServer http;
    std::string publicUrl;
    std::unique_ptr<PackageSigner> signer;
    // The package's facts, read again only when the file changed.
    std::mutex packageMutex;
    std::optional<FileDigest> packageRead;
    std::filesystem::file_time_type packageTime{};
    std::uintmax_t packageBytes = 0;

    std::optional<FileDigest> packageFacts();

    // Relay lookups under way: each holds its user's place in the access
    // book and one of the pending places until its answer is made or its
    // connection ends.
    std::atomic<std::size_t> pendingRelays{0};
    struct RelaySlot {
        Impl& impl;
        std::string user;
        RelaySlot(Impl& i, std::string u) : impl(i), user(std::move(u)) {}
        ~RelaySlot() {
            impl.access.end(user);
            impl.pendingRelays.fetch_sub(1);
        }
        RelaySlot(const RelaySlot&) = delete;
        RelaySlot& operator=(const RelaySlot&) = delete;
    };

    // The relay's own answers, in GBK as the program shows them.
    const std::string taken = gbk("已占用");
    const std::string malformed = gbk("请求格式错误");
    const std::string badPlate = gbk("号牌格式错误");
    const std::string badLine = gbk("线路错误");
    const std::string unknownUser = gbk("用户未登记");
    const std::string badToken = gbk("Token无效或已过期");
    const std::string busy = gbk("查询过于频繁,请稍后再试");
    const std::string tooLarge = gbk("请求过大");
    const std::string failure = gbk("服务器错误");

    Impl(ServiceOptions opts, std::unique_ptr<Registry> reg)
        : options(std::move(opts)),
          registry(std::move(reg)),
          access(options.access),
          newUsers(options.newUsersPerAddress),
          unusedTokens(options.unusedTokensPerAddress),
          http(options.limits) {}

    void routes(web::Router& server);
    void relay(const web::Request& req, web::Response& res);
    void lookup(const std::string& plate, web::Response& res);
    void token(const web::Request& req, web::Response& res);
    void serviceInfo(web::Response& res);
    void package(const web::Request& req, web::Response& res);
};

void Service::Impl::routes(web::Router& server) {
    server.get("/GetText.php", [this](const web::Request&, web::Response& res) {
        res.setContent(gbk(registry->setting("info_text").value_or("")), kGbkText);
    });
    server.get("/GetLine.php", [this](const web::Request&, web::Response& res) {
        res.setContent(std::to_string(boundedLineCount(registry->setting("line_count"))), kGbkText);
    });
    server.get("/api/service-info",
               [this](const web::Request&, web::Response& res) { serviceInfo(res); });
    server.get("/api/token",
               [this](const web::Request& req, web::Response& res) { token(req, res); });
    server.post("/api/token",
                [this](const web::Request& req, web::Response& res) { token(req, res); });
    server.get("/update/package.zip",
               [this](const web::Request& req, web::Response& res) { package(req, res); });
    server.post("/relay", [this](const web::Request& req, web::Response& res) { relay(req, res); });
    server.errorPage([this](std::string_view path, web::Response& res) {
        if (path == "/relay") {
            res.setContent(res.status == 413 ? tooLarge : malformed, kGbkText);
            return;
        }
        res.setContent("error " + std::to_string(res.status) + "\n", "text/plain; charset=utf-8");
    });
}

void Service::Impl::serviceInfo(web::Response& res) {
    std::string version = options.latestVersion.empty()
                              ? registry->setting("latest_version").value_or("")
                              : options.latestVersion;
    nlohmann::json config = {{"url1", publicUrl + "/relay"}};
    nlohmann::json info = {
        {"latestVersion", version},
        {"packageName", registry->setting("package_name").value_or("")},
        {"packageAddress", publicUrl + "/update/package.zip"},
        {"announcement", registry->setting("announcement").value_or("")},
        {"serviceConfigJson", config.dump()},
    };
    if (const std::optional<FileDigest> facts = signer ? packageFacts() : std::nullopt) {
        const std::string name = info["packageName"];
        info["packageSize"] = std::to_string(facts->size);
        info["packageSha256"] = facts->sha256;
        info["packageSignature"] =
            signer->sign(packageStatement(name, version, facts->size, facts->sha256));
    }
    res.setContent(info.dump(), "application/json; charset=utf-8");
}

std::optional<FileDigest> Service::Impl::packageFacts() {
    std::error_code ec;
    const std::filesystem::path path = options.packagePath;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    const auto time = std::filesystem::last_write_time(path, ec);
    const auto bytes = std::filesystem::file_size(path, ec);
    if (ec) {
        return std::nullopt;
    }
    const std::scoped_lock lock(packageMutex);
    if (!packageRead || time != packageTime || bytes != packageBytes) {
        packageRead = fileDigest(path.string());
        packageTime = time;
        packageBytes = bytes;
    }
    return packageRead;
}

void Service::Impl::token(const web::Request& req, web::Response& res) {
    std::string user;
    std::size_t seen = 0;
    if (req.method == "POST") {
        auto form = web::parseForm(req.body);
        if (form) {
            seen = web::countField(*form, "userIdentifier");
            if (const std::string* value = web::findField(*form, "userIdentifier"))
                user = *value;
        }
    } else {
        seen = req.queryCount("userIdentifier");
        user = req.queryValue("userIdentifier");
    }
    if (seen != 1 || !validIdentifier(user)) {
        res.status = 400;
        res.setContent("userIdentifier missing or invalid\n", "text/plain; charset=utf-8");
        return;
    }
    auto refuse = [&](int status, const char* text) {
        res.status = status;
        res.setContent(text, "text/plain; charset=utf-8");
    };
    if (!registry->isKnownUser(user) && !newUsers.take(req.remoteAddress)) {
        res.setHeader("Retry-After", "1");
        return refuse(429, "too many new user identifiers from this address, try again later\n");
    }
    if (!unusedTokens.take(req.remoteAddress)) {
        res.setHeader("Retry-After", "1");
        return refuse(429, "too many unused tokens for this address, try again later\n");
    }
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch());
    switch (registry->registerUser(user, options.maxUsers, now.count(), options.forgetUsersAfter)) {
        case Registry::User::Known:
        case Registry::User::Added:
            break;
        case Registry::User::Full:
            unusedTokens.giveBack(req.remoteAddress);
            return refuse(503, "too many users\n");
        case Registry::User::Failed:
            unusedTokens.giveBack(req.remoteAddress);
            return refuse(500, "registry unavailable\n");
    }
    std::optional<std::string> issued = access.issue(user);
    if (!issued) {
        unusedTokens.giveBack(req.remoteAddress);
        return refuse(503, "too many live tokens, try again later\n");
    }
    res.setContent(*issued, "text/plain; charset=utf-8");
}

void Service::Impl::package(const web::Request& req, web::Response& res) {
    std::error_code ec;
    const std::filesystem::path path = options.packagePath;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
        res.status = 404;
        res.setContent("no update package\n", "text/plain; charset=utf-8");
        return;
    }
    const std::uint64_t size = std::filesystem::file_size(path, ec);
    std::shared_ptr<std::istream> file = std::make_shared<std::ifstream>(path, std::ios::binary);
    if (ec || !*file) {
        res.status = 500;
        res.setContent("package unreadable\n", "text/plain; charset=utf-8");
        return;
    }
    res.setHeader("Accept-Ranges", "bytes");
    const ByteRange range = byteRange(req.header("Range"), size);
    if (range.kind == ByteRange::Kind::Unsatisfiable) {
        res.status = 416;
        res.setHeader("Content-Range", "bytes */" + std::to_string(size));
        res.setContent("range not satisfiable\n", "text/plain; charset=utf-8");
        return;
    }
    std::uint64_t first = 0;
    std::uint64_t length = size;
    if (range.kind == ByteRange::Kind::Part) {
        first = range.first;
        length = range.last - range.first + 1;
        res.status = 206;
        res.setHeader("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                           std::to_string(range.last) + "/" + std::to_string(size));
    }
    // Streamed in pieces: a large package never sits in memory whole.
    res.setFile({std::move(file), first, length}, "application/zip");
}

void Service::Impl::relay(const web::Request& req, web::Response& res) {
    auto reply = [&](int status, const std::string& text) {
        res.status = status;
        res.setContent(text, kGbkText);
    };
    auto form = web::parseForm(req.body);
    static constexpr std::array<std::string_view, 6> keys = {"hphm",  "hpzl",  "id",
                                                             "Token", "hphma", "line"};
    bool complete = form.has_value();
    for (std::string_view key : keys) {
        complete = complete && web::countField(*form, key) == 1;
    }
    if (!complete)
        return reply(400, malformed);
    const std::string& plate = *web::findField(*form, "hphm");
    const std::string& type = *web::findField(*form, "hpzl");
    const std::string& user = *web::findField(*form, "id");
    const std::string& tokenText = *web::findField(*form, "Token");
    const std::string& prefix = *web::findField(*form, "hphma");
    const std::string& line = *web::findField(*form, "line");

    if (!validIdentifier(user) || !registry->isKnownUser(user))
        return reply(403, unknownUser);
    if (!validPlate(plate, type) || prefix != plate.substr(0, 4))
        return reply(400, badPlate);
    if (lineNumber(line, boundedLineCount(registry->setting("line_count"))) == 0) {
        return reply(400, badLine);
    }
    if (pendingRelays.fetch_add(1) >= options.maxPendingRelays) {
        pendingRelays.fetch_sub(1);
        res.setHeader("Retry-After", "1");
        return reply(503, busy);
    }
    switch (access.begin(user, tokenText)) {
        case AccessBook::Begin::Started:
            unusedTokens.giveBack(req.remoteAddress);
            break;
        case AccessBook::Begin::BadToken:
            pendingRelays.fetch_sub(1);
            return reply(403, badToken);
        case AccessBook::Begin::Busy:
            pendingRelays.fetch_sub(1);
            return reply(429, busy);
    }
    auto slot = std::make_shared<RelaySlot>(*this, user);
    if (options.onRelayInFlight)
        options.onRelayInFlight();
    if (options.relayDelay.count() == 0)
        return lookup(plate, res);
    res.defer(options.relayDelay,
              [this, slot, plate](web::Response& later) { lookup(plate, later); });
}

void Service::Impl::lookup(const std::string& plate, web::Response& res) {
    switch (registry->lookupPlate(plate)) {
        case Registry::Plate::Free:
            return res.setContent("ok", kGbkText);
        case Registry::Plate::Taken:
            return res.setContent(taken, kGbkText);
        case Registry::Plate::Failed:
            res.status = 500;
            return res.setContent(failure, kGbkText);
    }
}

Service::Service(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Service::~Service() {
    stop();
}

std::unique_ptr<Service> Service::start(ServiceOptions options, std::string* error) {
    std::unique_ptr<Registry> registry = Registry::open(options.databasePath, error);
    if (!registry)
        return nullptr;
    auto impl = std::make_unique<Impl>(std::move(options), std::move(registry));
    if (!impl->options.signingKeyPath.empty()) {
        impl->signer = PackageSigner::load(impl->options.signingKeyPath, error);
        if (!impl->signer) {
            return nullptr;
        }
    }
    impl->routes(impl->http.routes());
    Impl& self = *impl;
    int port = impl->http.start(impl->options.address, impl->options.port, [&self](int bound) {
        self.publicUrl =
            self.options.publicUrl.empty()
                ? "http://" + web::hostInUrl(self.options.address) + ":" + std::to_string(bound)
                : self.options.publicUrl;
        while (!self.publicUrl.empty() && self.publicUrl.back() == '/')
            self.publicUrl.pop_back();
    });
    if (port < 0) {
        if (error) {
            *error = "cannot listen on " + impl->options.address + ":" +
                     std::to_string(impl->options.port);
        }
        return nullptr;
    }
    return std::unique_ptr<Service>(new Service(std::move(impl)));
}

int Service::port() const {
    return impl_->http.port();
}

const std::string& Service::publicUrl() const {
    return impl_->publicUrl;
}

bool Service::stop() {
    return impl_->http.stop();
}

}  // namespace yhz::service
