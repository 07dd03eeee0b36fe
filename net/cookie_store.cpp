#include "net/cookie_store.h"

#include <algorithm>
#include <chrono>

#include "net/address.h"
#include "text/gbk_text.h"

namespace yhz {
namespace {

std::string normalDomain(std::string_view domain) {
    return toLowerAscii(domain);
}

bool domainMatches(const std::string& host, const std::string& domain) {
    if (domain.empty()) {
        return false;
    }
    if (domain.front() != '.') {
        return host == domain;
    }
    const std::string_view bare = std::string_view(domain).substr(1);
    if (host == bare) {
        return true;
    }
    return host.size() > domain.size() &&
           host.compare(host.size() - domain.size(), domain.size(), domain) == 0;
}

bool pathMatches(std::string_view requestPath, std::string_view cookiePath) {
    if (cookiePath.empty() || cookiePath == "/") {
        return true;
    }
    if (requestPath.substr(0, cookiePath.size()) != cookiePath) {
        return false;
    }
    return requestPath.size() == cookiePath.size() || cookiePath.back() == '/' ||
           requestPath[cookiePath.size()] == '/';
}

}  // namespace

CookieStore& CookieStore::browser() {
    static CookieStore store;
    return store;
}

void CookieStore::set(StoredCookie cookie) {
    cookie.domain = normalDomain(cookie.domain);
    if (cookie.path.empty()) {
        cookie.path.push_back('/');
    }
    std::unique_lock lock(mutex_);
    for (Entry& e : entries_) {
        if (e.cookie.name == cookie.name && e.cookie.domain == cookie.domain &&
            e.cookie.path == cookie.path) {
            e.cookie = std::move(cookie);
            return;
        }
    }
    entries_.push_back(Entry{std::move(cookie), nextOrder_++});
}

bool CookieStore::remove(std::string_view name, std::string_view domain, std::string_view path) {
    const std::string d = normalDomain(domain);
    const std::string_view p = path.empty() ? std::string_view("/") : path;
    std::unique_lock lock(mutex_);
    const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.cookie.name == name && e.cookie.domain == d && e.cookie.path == p;
    });
    if (it == entries_.end()) {
        return false;
    }
    entries_.erase(it);
    return true;
}

void CookieStore::clear() {
    std::unique_lock lock(mutex_);
    entries_.clear();
}

std::size_t CookieStore::size() const {
    std::shared_lock lock(mutex_);
    return entries_.size();
}

std::string CookieStore::cookiesFor(std::string_view url, HttpOnly httpOnly) const {
    const std::string host = addressHost(url);
    std::string path = addressPath(url);
    path = path.substr(0, std::min(path.find('?'), path.find('#')));
    const bool secure = toLowerAscii(url.substr(0, 8)) == "https://";
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();

    std::vector<const Entry*> matching;
    {
        std::shared_lock lock(mutex_);
        for (const Entry& e : entries_) {
            const StoredCookie& c = e.cookie;
            if ((c.httpOnly && httpOnly == HttpOnly::Exclude) || (c.secure && !secure) ||
                (c.expires != 0 && c.expires <= now) || !domainMatches(host, c.domain) ||
                !pathMatches(path, c.path)) {
                continue;
            }
            matching.push_back(&e);
        }
        std::stable_sort(matching.begin(), matching.end(), [](const Entry* a, const Entry* b) {
            if (a->cookie.path.size() != b->cookie.path.size()) {
                return a->cookie.path.size() > b->cookie.path.size();
            }
            return a->order < b->order;
        });
        std::string text;
        for (const Entry* e : matching) {
            if (!text.empty()) {
                text += "; ";
            }
            text += e->cookie.name;
            text += '=';
            text += e->cookie.value;
        }
        return text;
    }
}

}  // namespace yhz
