#include "service_client/service_client.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>

#include "json/script_json.h"
#include "platform/process.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace yhz {

namespace {

HttpLimits informationLimits() {
    HttpLimits limits;
    limits.totalTimeout = std::chrono::seconds(10);
    return limits;
}

}  // namespace

ServiceClient::ServiceClient(std::string baseAddress, HttpLimits limits)
    : base_(std::move(baseAddress)),
      client_(HttpClient::keepingConnections(limits)),
      tokens_(client_.withLimits(HttpLimits{})),
      texts_(client_.withLimits(informationLimits())) {
    while (!base_.empty() && base_.back() == '/') {
        base_.pop_back();
    }
}

HttpLimits ServiceClient::startLimits() {
    HttpLimits limits;
    limits.connectTimeout = std::chrono::milliseconds(1500);
    limits.stallTimeout = std::chrono::milliseconds(1200);
    // A service that drips a byte now and then must not hold the window back.
    limits.totalTimeout = std::chrono::milliseconds(2500);
    limits.maxBodyBytes = 256 * 1024;
    return limits;
}

std::optional<ServiceInfo> ServiceClient::obtain() {
    CookieJar noCookies;  // the service needs none; keep the shared engine out of it
    std::string headers;
    WebRequestArgs args;
    args.cookieText = &noCookies;
    args.replyHeaders = &headers;
    const std::string body = client_.webRequest(base_ + "/api/service-info", args);
    // An error page that happens to carry JSON must not send the start into
    // the updater.
    if (body.empty() || replyStatus(headers) != 200) {
        return std::nullopt;
    }
    return parseServiceInfo(body);
}

std::string ServiceClient::accessToken(const std::string& user, std::stop_token stop) const {
    CookieJar noCookies;
    WebRequestArgs args;
    args.method = 1;
    args.formText = "userIdentifier=" + urlEncode(user, true, false);
    args.cookieText = &noCookies;
    args.stop = std::move(stop);
    return textUpToZero(tokens_.webRequest(base_ + "/api/token", args));
}

std::string ServiceClient::information(std::string_view path, std::stop_token stop) const {
    // Every other argument at its default, as the start-up data asks.
    WebRequestArgs args;
    args.stop = std::move(stop);
    return texts_.webRequest(base_ + std::string(path), args);
}

std::optional<ServiceInfo> parseServiceInfo(std::string_view utf8Json) {
    ScriptJson reader;
    if (!reader.parse(utf8ToLocal(utf8Json)) ||
        reader.typeOf("latestVersion") != ScriptJson::kString) {
        return std::nullopt;
    }
    ServiceInfo info;
    info.latestVersion = reader.getText("latestVersion");
    info.packageName = reader.getText("packageName");
    info.packageAddress = reader.getText("packageAddress");
    info.announcement = reader.getText("announcement");
    info.serviceConfigJson = reader.getText("serviceConfigJson");
    info.packageSize = reader.getText("packageSize");
    info.packageSha256 = reader.getText("packageSha256");
    info.packageSignature = reader.getText("packageSignature");
    return info;
}

std::string userIdentifierFor(std::string_view machineId) {
    // FNV-1a over a salted id: the service never sees the machine id itself.
    std::uint64_t hash = 1469598103934665603ULL;
    for (const char c : std::string("yunhaizhou-user:") + std::string(machineId)) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "u%016llx", static_cast<unsigned long long>(hash));
    return text.data();
}

std::string userIdentifier() {
    static const std::string id = [] {
        for (const char* file : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
            std::ifstream in(file);
            std::string line;
            if (std::getline(in, line) && !trimSpaces(line).empty()) {
                return userIdentifierFor(trimSpaces(line));
            }
        }
        return userIdentifierFor(platform::machineName());
    }();
    return id;
}

}  // namespace yhz
