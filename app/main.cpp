// Program entry: start sequence, then the main window's message loop, then
// the orderly end of the run.

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

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
#include "text/encoding.h"
#include "update/update_recovery.h"

namespace {

// An update an earlier run left in the middle is finished or undone before
// anything else; what could not be put back is said.
void recoverEarlierUpdates(yhz::MessageBoxes& messages, const std::string& program) {
    const yhz::RecoveryReport report =
        yhz::recoverInterruptedUpdates(yhz::programDirectory(), program);
    if (report.finished + report.undone > 0) {
        std::fprintf(stderr, "yunhaizhou: earlier updates finished %d, undone %d\n",
                     report.finished, report.undone);
    }
    for (const std::string& kept : report.kept) {
        messages.showMessage(
            {yhz::gbk("上次更新没有完成，且未能把所有文件放回原处。没有放回的文件保存在：") +
                 yhz::utf8ToLocal(kept) + yhz::gbk("（其中的 backup 文件夹是您原来的文件）。"),
             yhz::gbk("温馨提示："), yhz::MessageButtons::Ok, yhz::MessageIcon::Warning});
    }
}

}  // namespace

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
    // The system's own name for this program file, the one the program
    // folder is found from.
    const std::string program = yhz::platform::runningProgramPath();
    recoverEarlierUpdates(messages, program);

    yhz::InstanceLock instance;
    yhz::ProgramServices services{std::string(yhz::profile::kServiceAddress)};
    yhz::UpdateWindowLauncher updater(instance);
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
    // Once the window is up, an update that started this run may let the
    // old program go.
    QTimer::singleShot(0,
                       [&program] { yhz::confirmUpdateStart(yhz::programDirectory(), program); });
    const int code = QApplication::exec();
    return yhz::endRun(std::move(window), instance, code);
}
