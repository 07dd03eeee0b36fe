// Program entry: start sequence, then the main window's message loop.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/core/profile.h"
#include "app/core/service_client.h"
#include "app/core/start_sequence.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/pending_update.h"
#include "app/skin.h"
#include "net/http_client.h"

int main(int argc, char* argv[]) {
    // WebEngine needs shared GL contexts set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("云海舟"));
    yhz::applySkin(app);
    yhz::HttpClient::setCaBundle(std::string(yhz::profile::kCaBundle));

    yhz::InstanceLock instance;
    yhz::ServiceClient service{std::string(yhz::profile::kServiceAddress)};
    yhz::OwnerlessMessageBoxes messages;
    yhz::PendingUpdate updater;
    const yhz::StartResult start = yhz::runStartSequence(instance, service, messages, updater);
    if (start.outcome != yhz::StartOutcome::OpenMainWindow) {
        return start.exitCode;
    }

    const std::string serviceAddress = service.baseAddress();
    auto fetch = [serviceAddress](std::string_view path) {
        return yhz::HttpClient().webRequest(serviceAddress + std::string(path));
    };
    // Owned by nobody on purpose: worker threads may still use the window's
    // interfaces when the loop ends, and they end with the process, as the
    // process ends right after the loop.
    auto* window = new yhz::MainWindow(yhz::MainWindow::Startup{start.info, fetch});
    window->show();
    const int code = QApplication::exec();
    instance.release();
    std::fflush(nullptr);
    std::_Exit(code);
}
