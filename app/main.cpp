// Program entry: start sequence, then the main window's message loop, then
// the orderly end of the run.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/program_services.h"
#include "app/run_end.h"
#include "app/skin.h"
#include "app/translations.h"
#include "app/update_launcher.h"
#include "base/profile.h"
#include "base/program_values.h"
#include "net/http_client.h"
#include "platform/process.h"
#include "startup/start_sequence.h"

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

    yhz::OwnerlessMessageBoxes messages;
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments()) {
        arguments.push_back(argument.toStdString());
    }
    yhz::InstanceLock instance;
    yhz::ProgramServices services{std::string(yhz::profile::kServiceAddress)};
    // The system's own name for this program file, the one the program
    // folder is found from. Earlier updates are settled only once this run
    // holds the single-instance claim (see runStartSequence).
    yhz::UpdateWindowLauncher updater(instance, yhz::platform::runningProgramPath(), arguments);
    const yhz::StartResult start = yhz::runStartSequence(instance, services, messages, updater);
    if (start.outcome == yhz::StartOutcome::Updated) {
        return yhz::endRun(updater.takeWindow(), instance, start.exitCode);
    }
    if (start.outcome != yhz::StartOutcome::OpenMainWindow) {
        return start.exitCode;
    }

    auto window = std::make_unique<yhz::MainWindow>(
        services.startup(start.info, start.versionForPackageManager));
    window->show();
    const int code = QApplication::exec();
    return yhz::endRun(std::move(window), instance, code);
}
