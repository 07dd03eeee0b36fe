#include "app/program_services.h"

namespace yhz {

ProgramServices::ProgramServices(std::string serviceAddress)
    : service_(std::make_shared<ServiceClient>(std::move(serviceAddress))) {}

InformationFetch ProgramServices::informationFetch() const {
    return [service = service_](std::string_view path, std::stop_token stop) {
        return service->information(path, stop);
    };
}

std::optional<ServiceInfo> ProgramServices::obtain() {
    if (!information_) {
        information_.emplace(tasks_, informationFetch(), InformationPrefetch::startupPaths());
    }
    return service_->obtain();
}

MainWindow::Startup ProgramServices::startup(std::optional<ServiceInfo> info,
                                             std::string versionForPackageManager) const {
    return {std::move(info), information_ ? information_->fetch() : informationFetch(), service_,
            std::move(versionForPackageManager)};
}

}  // namespace yhz
