// yhz-service: the program's own service on loopback (information texts,
// service information, access tokens, update package, query relay).

#include <memory>
#include <string>

#include "demo/http/program.h"
#include "demo/service/service.h"

int main(int argc, char** argv) {
    yhz::service::ServiceOptions options;
    yhz::web::ProgramOptions cli("yhz-service", "yhz-service [options]");
    cli.listening(&options.address, &options.port, &options.limits.threads);
    cli.text("--data", "FILE",
             "SQLite data file, created with demo content (default " + options.databasePath + ")",
             &options.databasePath);
    cli.text("--public-url", "URL", "address clients use (default http://ADDR:PORT)",
             &options.publicUrl);
    cli.text("--package", "FILE", "update package served at /update/package.zip",
             &options.packagePath);
    cli.text("--latest-version", "V", "published version instead of the data file's",
             &options.latestVersion);
    cli.text("--signing-key", "FILE", "Ed25519 private key (PEM) that signs the published package",
             &options.signingKeyPath);
    cli.number("--relay-delay-ms", "time one relay lookup takes (default 100)", 0, 60000,
               [&](long n) { options.relayDelay = std::chrono::milliseconds(n); });
    if (const std::optional<int> status = cli.parse(argc, argv))
        return *status;

    std::unique_ptr<yhz::service::Service> service;
    return yhz::web::serveUntilSignalled(
        "yhz-service",
        [&](std::string* error, std::string* banner) {
            service = yhz::service::Service::start(options, error);
            if (service)
                *banner = "yhz-service: serving " + service->publicUrl();
            return service != nullptr;
        },
        [&] { return service->stop(); });
}
