#pragma once
// The open connections that the copies of one web request client keep
// between calls. libcurl keeps a finished transfer's connection in the cache
// of the multi handle that drove it, and one multi handle may serve one
// thread at a time; so each call borrows a lane (a multi handle with the
// connections it holds) for as long as it runs and gives it back with its
// connections still open. Calls that run at the same time get lanes of their
// own; TLS sessions and name lookups are shared by all lanes under a lock.
// Only for use inside this folder: it names libcurl's types.

#include <curl/curl.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/curl_share.h"

namespace yhz {

class ConnectionPool {
    struct Lane;

public:
    // Lanes kept while nobody borrows them; the least recently used one goes
    // (with its connections) when one more comes back.
    static constexpr std::size_t kMaxIdleLanes = 4;

    class Loan {
    public:
        Loan(ConnectionPool& pool, std::unique_ptr<Lane> lane);
        ~Loan();
        Loan(const Loan&) = delete;
        Loan& operator=(const Loan&) = delete;
        // nullptr when libcurl could not make a multi handle.
        CURLM* multi() const;

    private:
        ConnectionPool& pool_;
        std::unique_ptr<Lane> lane_;
    };

    ConnectionPool();
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    // A lane for one call to `origin` ("https://host:443"): preferably one
    // that has talked to it lately and so may hold an open connection there.
    Loan borrow(const std::string& origin);

    // TLS sessions and DNS answers, for handles that carry no other share.
    CURLSH* sessions() const { return sessions_.share(); }

private:
    void giveBack(std::unique_ptr<Lane> lane);

    CurlShare sessions_;
    std::mutex mutex_;
    // Idle lanes, least recently used first.
    std::vector<std::unique_ptr<Lane>> idle_;
};

}  // namespace yhz
