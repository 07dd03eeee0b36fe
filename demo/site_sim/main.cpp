// yhz-site-sim: the regional site simulator on loopback, HTTPS, one host name
// per region (<code>.localhost).

#include <cstdio>
#include <string>

#include "demo/http/options.h"
#include "demo/site_sim/site_sim.h"
#include "demo/world/site_data.h"

namespace {

void usage() {
    std::fputs(
        "usage: yhz-site-sim --cert FILE --key FILE [options]\n"
        "  --cert FILE      server certificate (PEM) naming every <code>.localhost\n"
        "  --key FILE       its private key (PEM)\n"
        "  --address ADDR   address to listen on (default 127.0.0.1)\n"
        "  --port N         port, 0 for any free one (default 18443)\n"
        "  --threads N      request threads (default 16)\n"
        "  --list-hosts     print the host names, one a line, and exit\n"
        "  --list-sites     print the site base addresses for --port, one a line, and exit\n",
        stderr);
}

}  // namespace

int main(int argc, char** argv) {
    yhz::sim::SiteSimOptions options;
    bool listHosts = false;
    bool listSites = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        }
        if (arg == "--list-hosts") {
            listHosts = true;
            continue;
        }
        if (arg == "--list-sites") {
            listSites = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "yhz-site-sim: %s needs a value\n", arg.c_str());
            usage();
            return 2;
        }
        const std::string value = argv[++i];
        bool ok = true;
        if (arg == "--cert") {
            options.certificatePath = value;
        } else if (arg == "--key") {
            options.keyPath = value;
        } else if (arg == "--address") {
            options.address = value;
        } else if (arg == "--port") {
            auto n = yhz::web::parseNumber(value, 0, 65535);
            ok = n.has_value();
            if (ok)
                options.port = static_cast<int>(*n);
        } else if (arg == "--threads") {
            auto n = yhz::web::parseNumber(value, 1, 256);
            ok = n.has_value();
            if (ok)
                options.limits.threads = static_cast<std::size_t>(*n);
        } else {
            std::fprintf(stderr, "yhz-site-sim: unknown option %s\n", arg.c_str());
            usage();
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "yhz-site-sim: bad value for %s: %s\n", arg.c_str(),
                         value.c_str());
            return 2;
        }
    }
    if (listHosts || listSites) {
        for (const yhz::demo::Region& region : yhz::demo::regions()) {
            if (listHosts) {
                std::printf("%s.localhost\n", region.code.c_str());
            } else {
                std::printf("https://%s.localhost:%d\n", region.code.c_str(), options.port);
            }
        }
        return 0;
    }
    if (options.certificatePath.empty() || options.keyPath.empty()) {
        usage();
        return 2;
    }
    yhz::web::blockStopSignals();
    std::string error;
    auto sim = yhz::sim::SiteSim::start(options, &error);
    if (!sim) {
        std::fprintf(stderr, "yhz-site-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("yhz-site-sim: serving https://<code>.localhost:%d (%zu regions)\n", sim->port(),
                yhz::demo::regions().size());
    std::fflush(stdout);
    yhz::web::waitForStopSignal();
    // Stopping is bounded; the watchdog is for a handler that hangs.
    yhz::web::stopWithin(std::chrono::milliseconds(1800), [&] { return sim->stop(); });
    return 0;
}
