// The update window on the offscreen platform: its controls, the progress
// of a real download, the close button, and a failure told in one message.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/qt_common/qt_text.h"
#include "app/skin.h"
#include "app/update_window/update_window.h"
#include "base/control_names.h"
#include "support/loopback.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

using namespace yhz;
namespace fs = std::filesystem;

class UpdateWindowTest : public QObject {
    Q_OBJECT

private:
    UpdateWindow::Setup setup(const testing::TempDir& folder, const std::string& address) {
        const fs::path program = folder.path() / "yunhaizhou";
        std::ofstream(program) << "the program of this run";
        UpdateWindow::Setup s;
        s.programVersion = "2.1.2";
        s.request = {"2.2.0", gbk("云海舟"), address, folder.path().string(), program.string(), -1,
                     {}};
        return s;
    }
    template <typename W>
    static W* find(UpdateWindow& w, const char* name) {
        return w.findChild<W*>(QString::fromUtf8(name));
    }
    static std::vector<std::string> folderContent(const testing::TempDir& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private slots:
    void initTestCase() { applySkin(*qApp); }

    void controlsAndTheProgressOfADownload() {
        // Announces 1000 bytes, sends 333 of them, then waits.
        std::atomic<bool> release{false};
        auto server = std::make_unique<httplib::Server>();
        server->Get("/package.zip", [&](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1000, "application/zip",
                                     [&](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset < 333) {
                                             return sink.write(std::string(333, 'P').data(), 333);
                                         }
                                         std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                         return !release.load();
                                     });
        });
        test::RunningServer running(std::move(server));
        testing::TempDir folder("yhz-update-window");
        test::RecordingWindow messages;
        UpdateWindow w(
            setup(folder, "http://127.0.0.1:" + std::to_string(running.port()) + "/package.zip"),
            messages);
        w.show();

        // Every name the update window answers to is one of its objects.
        for (const std::string_view name : control::update_window::kAll) {
            const QString object = fromName(name);
            QVERIFY2(w.objectName() == object || w.findChild<QObject*>(object) != nullptr,
                     std::string(name).c_str());
        }
        QCOMPARE(w.size(), QSize(380, 150));
        QCOMPARE(w.pos(), QPoint(50, 50));
        QVERIFY(w.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(w.isModal());
        auto* titleBar = find<QLabel>(w, "图片框_标题栏");
        QVERIFY(titleBar != nullptr);
        QCOMPARE(titleBar->geometry(), QRect(0, 0, 380, 152));
        QCOMPARE(find<QLabel>(w, "透明标签4")->text(),
                 QStringLiteral("正在下载,请稍后。。。。。。"));
        QCOMPARE(find<QLabel>(w, "透明标签2")->text(), QStringLiteral("当前版本:2.1.2"));
        QCOMPARE(find<QLabel>(w, "透明标签3")->text(), QStringLiteral("最新版本:2.2.0"));
        auto* bar = find<QProgressBar>(w, "进度条1");
        QCOMPARE(bar->geometry(), QRect(28, 48, 322, 16));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        auto* close = find<QPushButton>(w, "关闭");
        QCOMPARE(close->geometry(), QRect(344, 5, 29, 29));
        auto* timer = w.findChild<QTimer*>(QStringLiteral("时钟1"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 100);

        auto* text = find<QLabel>(w, "透明标签1");
        QTRY_COMPARE_WITH_TIMEOUT(text->text(), QStringLiteral("已完成：33%"), 10000);
        QCOMPARE(bar->value(), 33);

        // Closing ends the download; the part of the package goes with it.
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QVERIFY(w.shutdown(std::chrono::milliseconds(2000)).clean());
        release = true;
        QCOMPARE(folderContent(folder), std::vector<std::string>{"yunhaizhou"});
        QVERIFY(messages.messages.empty());
    }

    void aFailureIsToldOnceAndClosesTheWindow() {
        testing::TempDir folder("yhz-update-window");
        const std::string nobody =
            "http://127.0.0.1:" + std::to_string(test::closedPort()) + "/package.zip";
        for (const std::string& packageName : {gbk("云海舟"), std::string("a/b")}) {
            test::RecordingWindow messages;
            UpdateWindow::Setup s = setup(folder, nobody);
            s.request.packageName = packageName;
            UpdateWindow w(std::move(s), messages);
            w.show();
            QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 20000);
            QCOMPARE(w.result(), int(QDialog::Rejected));
            QCOMPARE(messages.messages.size(), size_t{1});
            QCOMPARE(localToUtf8(messages.messages[0].caption), std::string("温馨提示："));
            QCOMPARE(folderContent(folder), std::vector<std::string>{"yunhaizhou"});
        }
    }
};

QTEST_MAIN(UpdateWindowTest)
#include "update_window_test.moc"
