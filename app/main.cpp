// Program entry: start sequence, then the main window's message loop, then
// the orderly end of the run.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/core/start_sequence.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/program_services.h"
#include "app/run_end.h"
#include "app/skin.h"
#include "app/update_launcher.h"
#include "base/profile.h"
#include "net/http_client.h"

int main(int argc, char* argv[]) {
    // WebEngine needs shared GL contexts set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("云海舟"));
    yhz::applySkin(app);
    yhz::HttpClient::setCaBundle(std::string(yhz::profile::kCaBundle));

    yhz::InstanceLock instance;
    yhz::ProgramServices services{std::string(yhz::profile::kServiceAddress)};
    yhz::OwnerlessMessageBoxes messages;
    yhz::UpdateWindowLauncher updater(instance);
    const yhz::StartResult start = yhz::runStartSequence(instance, services, messages, updater);
    if (start.outcome == yhz::StartOutcome::Updated) {
        return yhz::endRun(updater.takeWindow(), instance, start.exitCode);
    }
    if (start.outcome != yhz::StartOutcome::OpenMainWindow) {
        return start.exitCode;
    }

    auto window = std::make_unique<yhz::MainWindow>(services.startup(start.info));
    window->show();
    const int code = QApplication::exec();
    return yhz::endRun(std::move(window), instance, code);
}
