// Closing the real window while an import of a million lines and an
// expansion of ten thousand segments run: the process ends through the
// normal path (tasks stopped and joined, window destroyed) within the bound.
//
// The scenario runs in a child process of this test, started with --child,
// because its end is the end of a process: the exit code, what it says on
// standard error and how long it takes are what is checked.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>

#include "app/file_dialog.h"
#include "app/instance_lock.h"
#include "app/list_actions.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/run_end.h"
#include "text/encoding.h"

using namespace yhz;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kImportLines = 1'000'000;
constexpr int kSegments = 10'000;

bool writeLongPlateFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const std::string province = gbk("粤");
    QByteArray chunk;
    for (int i = 0; i < kImportLines; ++i) {
        chunk +=
            QByteArray::fromStdString(province + "B" + std::to_string(10000 + i % 90000) + "\r\n");
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    return file.error() == QFileDevice::NoError;
}

int runChild(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString plates = dir.filePath(QStringLiteral("plates.txt"));
    if (!dir.isValid() || !writeLongPlateFile(plates)) {
        std::fprintf(stderr, "child: could not write the plate file\n");
        return 10;
    }

    InstanceLock instance;
    auto window = std::make_unique<MainWindow>();
    window->show();
    for (int i = 0; i < kSegments; ++i) {
        // A thousand candidates per segment: far more work than the test waits for.
        const std::string first = "A" + std::to_string(10 + i % 90) + "000";
        const std::string last = "A" + std::to_string(10 + i % 90) + "999";
        window->lists().segments->append(SegmentRow{first + " ~" + last, "2024-01-02", true});
    }
    window->access().addItem("组合框1", gbk("广东广州-粤A"));

    Clock::time_point closing;
    QTimer::singleShot(0, window.get(), [&] {
        auto* actions = window->findChild<ListActions*>(QStringLiteral("listActions"));
        FileDialog::setNextFileName(plates);
        window->plateMenu()->findChild<QAction*>(QStringLiteral("导入号码[一行一个]"))->trigger();
        window->findChild<QPushButton*>(QStringLiteral("超级按钮_筛选号牌"))->click();
        std::printf("running %d\n", actions->runningTasks());
        QTimer::singleShot(300, window.get(), [&, actions] {
            std::printf("still running %d\n", actions->runningTasks());
            MessageBox::setNextAnswer(MessageAnswer::Yes);
            closing = Clock::now();
            window->close();
        });
    });
    const int code = QApplication::exec();
    std::printf(
        "loop ended after %lld ms\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closing).count()));
    const int result = endRun(std::move(window), instance, code);
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closing).count();
    std::printf("ended after %lld ms\n", static_cast<long long>(took));
    std::fflush(stdout);
    return result;
}

}  // namespace

class ShutdownGuiTest : public QObject {
    Q_OBJECT

private slots:
    void closingDuringLongTasksEndsTheProcessInTime() {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Its own lock folder, so that a running copy of the program is no
        // second instance for it.
        QTemporaryDir home;
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        QVERIFY(child.waitForStarted());
        QVERIFY2(child.waitForFinished(120'000), "the child did not end");
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        const QString err = QString::fromUtf8(child.readAllStandardError());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit, qPrintable(err));
        // A sanitizer report ends the child with a non-zero code; show it.
        QVERIFY2(child.exitCode() == 0, qPrintable(err.right(4000)));
        QVERIFY2(out.contains(QStringLiteral("running 2")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("still running 2")), qPrintable(out));
        QVERIFY2(!err.contains(QStringLiteral("did not stop")), qPrintable(err));

        const qsizetype at = out.indexOf(QStringLiteral("ended after "));
        QVERIFY2(at >= 0, qPrintable(out));
        const int took = out.mid(at + 12).section(QLatin1Char(' '), 0, 0).toInt();
        QVERIFY2(took < 3000, qPrintable(out));
    }
};

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--child") {
            return runChild(argc, argv);
        }
    }
    QCoreApplication app(argc, argv);
    ShutdownGuiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "shutdown_gui_test.moc"
