// yhz-site-sim: the regional site simulator on loopback, HTTPS, one host name
// per region (<code>.localhost).

#include <cstdio>
#include <memory>
#include <string>

#include "demo/http/program.h"
#include "demo/site_sim/site_sim.h"
#include "demo/world/site_data.h"

int main(int argc, char** argv) {
    yhz::sim::SiteSimOptions options;
    bool listHosts = false;
    bool listSites = false;
    yhz::web::ProgramOptions cli("yhz-site-sim",
                                 "yhz-site-sim --cert FILE --key FILE [options]\n"
                                 "       yhz-site-sim --list-hosts | --list-sites [--port N]");
    cli.text("--cert", "FILE", "server certificate (PEM) naming every <code>.localhost",
             &options.certificatePath);
    cli.text("--key", "FILE", "its private key (PEM)", &options.keyPath);
    cli.listening(&options.address, &options.port, &options.limits.threads);
    cli.flag("--list-hosts", "print the host names, one a line, and exit", &listHosts);
    cli.flag("--list-sites", "print the site base addresses for --port, one a line, and exit",
             &listSites);
    if (const std::optional<int> status = cli.parse(argc, argv))
        return *status;
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
        cli.usage();
        return 2;
    }

    std::unique_ptr<yhz::sim::SiteSim> sim;
    return yhz::web::serveUntilSignalled(
        "yhz-site-sim",
        [&](std::string* error, std::string* banner) {
            sim = yhz::sim::SiteSim::start(options, error);
            if (sim) {
                *banner = "yhz-site-sim: serving https://<code>.localhost:" +
                          std::to_string(sim->port()) + " (" +
                          std::to_string(yhz::demo::regions().size()) + " regions)";
            }
            return sim != nullptr;
        },
        [&] { return sim->stop(); });
}
