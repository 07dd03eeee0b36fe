#pragma once
// The program's own service as the program uses it from its first moment:
// one client whose kept connections carry the service information, the
// information server's texts (asked for beside the service information, not
// after the main window is up), the query tokens and, on the same host, the
// relay's rows. main() builds exactly this; so does every benchmark that
// measures the program's traffic.

#include <memory>
#include <optional>
#include <string>

#include "app/main_window.h"
#include "base/background_task.h"
#include "region/information_prefetch.h"
#include "service_client/service_client.h"

namespace yhz {

class ProgramServices final : public ServiceInfoSource {
public:
    explicit ProgramServices(std::string serviceAddress);
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;

    // The service information, for the start sequence; the information
    // server's texts are asked for at the same moment.
    std::optional<ServiceInfo> obtain() override;

    // What the main window starts from, given what the start sequence found:
    // the service information, and a new version left to the package
    // manager ("" when none).
    MainWindow::Startup startup(std::optional<ServiceInfo> info,
                                std::string versionForPackageManager = {}) const;

private:
    InformationFetch informationFetch() const;

    // Declared first, so it joins the requests after everything else is gone
    // that they could reach; they hold their own state.
    BackgroundTaskOwner tasks_;
    std::shared_ptr<ServiceClient> service_;
    std::optional<InformationPrefetch> information_;
};

}  // namespace yhz
