#include "app/run_end.h"

#include <cstdio>
#include <cstdlib>

#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/update_window/update_window.h"

namespace yhz {
namespace {

template <typename Window>
int endWith(std::unique_ptr<Window> window, InstanceLock& instance, int code) {
    const ShutdownReport report = window ? window->shutdown() : ShutdownReport{};
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

}  // namespace

int endRun(std::unique_ptr<MainWindow> window, InstanceLock& instance, int code) {
    return endWith(std::move(window), instance, code);
}

int endRun(std::unique_ptr<UpdateWindow> window, InstanceLock& instance, int code) {
    return endWith(std::move(window), instance, code);
}

}  // namespace yhz
