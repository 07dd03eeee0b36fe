#pragma once
// The regional site simulator: one HTTPS server that plays every regional
// traffic-management site of the demo world, told apart by the Host header
// (<code>.localhost).

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "demo/http/http_server.h"

namespace yhz::sim {

struct SiteSimOptions {
    std::string address = "127.0.0.1";
    int port = 18443;             // 0: any free port
    std::string certificatePath;  // PEM, with a name for every <code>.localhost
    std::string keyPath;
    std::size_t maxSessions = 20000;
    std::chrono::minutes sessionIdle{30};
    web::Limits limits;
};

inline constexpr int kSegmentPageSize = 10;
inline constexpr int kExpiredPageSize = 20;
inline constexpr int kMaxRangeDays = 366;

class SiteSim {
public:
    static std::unique_ptr<SiteSim> start(SiteSimOptions options, std::string* error);
    ~SiteSim();
    SiteSim(const SiteSim&) = delete;
    SiteSim& operator=(const SiteSim&) = delete;

    int port() const;
    // Ends every connection and joins every thread, whatever the clients do;
    // false when a request handler did not end within the bound.
    bool stop();

    struct Impl;

private:
    explicit SiteSim(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace yhz::sim
