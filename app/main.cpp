// Program entry: start sequence, then the main window's message loop.

#include <QApplication>

#include "app/core/start_sequence.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/pending_update.h"
#include "app/skin.h"
#include "net/encoding.h"

int main(int argc, char* argv[]) {
    // WebEngine needs shared GL contexts set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("云海舟"));
    yhz::applySkin(app);

    yhz::InstanceLock instance;
    yhz::UnavailableServiceInfo service;
    yhz::OwnerlessMessageBoxes messages;
    yhz::PendingUpdate updater;
    const yhz::StartResult start = yhz::runStartSequence(instance, service, messages, updater);
    if (start.outcome != yhz::StartOutcome::OpenMainWindow) {
        return start.exitCode;
    }

    yhz::MainWindow window;
    window.show();
    if (!start.info) {
        window.log().appendLog(yhz::gbk("无法获取服务信息，本次启动未检查版本"));
    }
    return QApplication::exec();
}
