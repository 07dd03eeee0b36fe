#include "app/program_services.h"

namespace yhz {

ProgramServices::ProgramServices(std::string serviceAddress)
    : service_(std::make_shared<ServiceClient>(std::move(serviceAddress))),
      information_(
          tasks_,
          [service = service_](std::string_view path, std::stop_token stop) {
              return service->information(path, stop);
          },
          InformationPrefetch::startupPaths()) {}

MainWindow::Startup ProgramServices::startup(std::optional<ServiceInfo> info) const {
    return {std::move(info), information_.fetch(), service_};
}

}  // namespace yhz
