#pragma once
// The program's own copy of the browser's cookies. The browser view mirrors
// every cookie of its pages here (HttpOnly ones included) so that GUI-free
// code can read a site's cookies from any thread.

#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace yhz {

struct StoredCookie {
    std::string name;
    std::string value;
    // A leading "." makes it a domain cookie (the host and its subdomains);
    // without one only that exact host gets it.
    std::string domain;
    std::string path = "/";
    bool secure = false;
    bool httpOnly = false;
    // Seconds since the epoch; 0 for a session cookie.
    std::int64_t expires = 0;
};

class CookieStore {
public:
    enum class HttpOnly { Exclude, Include };

    // The store the browser view writes and `browserCookies` reads.
    static CookieStore& browser();

    // Adds the cookie or replaces the one with the same name, domain and path.
    void set(StoredCookie cookie);
    // Removes the cookie with that name, domain and path; false if none.
    bool remove(std::string_view name, std::string_view domain, std::string_view path);
    void clear();
    std::size_t size() const;

    // The cookies that a request to `url` would carry, as "n=v; n2=v2":
    // domain and path matched, secure ones only for https, expired ones left
    // out; longer paths first, then in the order they were first set.
    std::string cookiesFor(std::string_view url, HttpOnly httpOnly) const;

private:
    struct Entry {
        StoredCookie cookie;
        std::uint64_t order;
    };
    mutable std::shared_mutex mutex_;
    std::vector<Entry> entries_;
    std::uint64_t nextOrder_ = 0;
};

}  // namespace yhz
