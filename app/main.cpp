// Program entry: start sequence, then the main window's message loop, then
// the orderly end of the run.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/core/start_sequence.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/run_end.h"
#include "app/skin.h"
#include "app/translations.h"
#include "app/update_launcher.h"
#include "base/profile.h"
#include "net/http_client.h"
#include "service/service_client.h"

int main(int argc, char* argv[]) {
    // WebEngine needs shared GL contexts set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("云海舟"));
    // The installed desktop entry: taskbars match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("cn.yunhaizhou.Yunhaizhou"));
    yhz::loadChineseTranslations(app);
    yhz::applySkin(app);
    yhz::HttpClient::setCaBundle(std::string(yhz::profile::kCaBundle));

    yhz::InstanceLock instance;
    yhz::ServiceClient service{std::string(yhz::profile::kServiceAddress)};
    yhz::OwnerlessMessageBoxes messages;
    yhz::UpdateWindowLauncher updater(instance);
    const yhz::StartResult start = yhz::runStartSequence(instance, service, messages, updater);
    if (start.outcome == yhz::StartOutcome::Updated) {
        return yhz::endRun(updater.takeWindow(), instance, start.exitCode);
    }
    if (start.outcome != yhz::StartOutcome::OpenMainWindow) {
        return start.exitCode;
    }

    const std::string serviceAddress = service.baseAddress();
    auto fetch = [serviceAddress](std::string_view path, std::stop_token stop) {
        yhz::WebRequestArgs args;
        args.stop = stop;
        yhz::HttpLimits limits;
        limits.totalTimeout = std::chrono::seconds(10);
        return yhz::HttpClient(limits).webRequest(serviceAddress + std::string(path), args);
    };
    auto window = std::make_unique<yhz::MainWindow>(
        yhz::MainWindow::Startup{start.info, fetch, start.versionForPackageManager});
    window->show();
    const int code = QApplication::exec();
    return yhz::endRun(std::move(window), instance, code);
}
