#include "app/run_end.h"

#include <cstdio>
#include <cstdlib>

#include "app/instance_lock.h"
#include "app/main_window.h"

namespace yhz {

int endRun(std::unique_ptr<MainWindow> window, InstanceLock& instance, int code) {
    const ShutdownReport report = window->shutdown();
    if (!report.clean()) {
        std::fprintf(stderr, "yunhaizhou: %zu background task(s) did not stop in time:",
                     report.abandoned.size());
        for (const std::string& name : report.abandoned) {
            std::fprintf(stderr, " [%s]", name.c_str());
        }
        std::fprintf(stderr, "; ending the process without waiting for them\n");
        instance.release();
        std::fflush(nullptr);
        std::_Exit(code);
    }
    window.reset();
    instance.release();
    return code;
}

}  // namespace yhz
