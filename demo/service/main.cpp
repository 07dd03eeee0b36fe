// yhz-service: the program's own service on loopback (information texts,
// service information, access tokens, update package, query relay).

#include <cstdio>
#include <cstring>
#include <string>

#include "demo/http/options.h"
#include "demo/service/service.h"

namespace {

void usage() {
    std::fputs(
        "usage: yhz-service [options]\n"
        "  --address ADDR         address to listen on (default 127.0.0.1)\n"
        "  --port N               port, 0 for any free one (default 18080)\n"
        "  --data FILE            SQLite data file, created with demo content\n"
        "                         (default yhz-service.sqlite)\n"
        "  --public-url URL       address clients use (default http://ADDR:PORT)\n"
        "  --package FILE         update package served at /update/package.zip\n"
        "  --latest-version V     published version instead of the data file's\n"
        "  --relay-delay-ms N     time one relay lookup takes (default 100)\n"
        "  --threads N            request threads (default 16)\n",
        stderr);
}

}  // namespace

int main(int argc, char** argv) {
    yhz::service::ServiceOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "yhz-service: %s needs a value\n", arg.c_str());
            usage();
            return 2;
        }
        const std::string value = argv[++i];
        bool ok = true;
        if (arg == "--address") {
            options.address = value;
        } else if (arg == "--port") {
            auto n = yhz::web::parseNumber(value, 0, 65535);
            ok = n.has_value();
            if (ok)
                options.port = static_cast<int>(*n);
        } else if (arg == "--data") {
            options.databasePath = value;
        } else if (arg == "--public-url") {
            options.publicUrl = value;
        } else if (arg == "--package") {
            options.packagePath = value;
        } else if (arg == "--latest-version") {
            options.latestVersion = value;
        } else if (arg == "--relay-delay-ms") {
            auto n = yhz::web::parseNumber(value, 0, 60000);
            ok = n.has_value();
            if (ok)
                options.relayDelay = std::chrono::milliseconds(*n);
        } else if (arg == "--threads") {
            auto n = yhz::web::parseNumber(value, 1, 256);
            ok = n.has_value();
            if (ok)
                options.limits.threads = static_cast<std::size_t>(*n);
        } else {
            std::fprintf(stderr, "yhz-service: unknown option %s\n", arg.c_str());
            usage();
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "yhz-service: bad value for %s: %s\n", arg.c_str(), value.c_str());
            return 2;
        }
    }
    yhz::web::blockStopSignals();
    std::string error;
    auto service = yhz::service::Service::start(options, &error);
    if (!service) {
        std::fprintf(stderr, "yhz-service: %s\n", error.c_str());
        return 1;
    }
    std::printf("yhz-service: serving %s\n", service->publicUrl().c_str());
    std::fflush(stdout);
    yhz::web::waitForStopSignal();
    // Stopping is bounded; the watchdog is for a handler that hangs.
    yhz::web::stopWithin(std::chrono::milliseconds(1800), [&] { return service->stop(); });
    return 0;
}
