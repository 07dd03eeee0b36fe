// The watch list in the real window against the relay of the real service
// program on a loopback port: "加入关注" from the plate list's menu, the watch
// list's window, a plate freed in the service's data told on the screen, and
// "继续查询" beside the counters.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/skin.h"
#include "app/watch_actions.h"
#include "app/watch_dialog.h"
#include "app/watch_notifier.h"
#include "query/plate_watch.h"
#include "relay_window.h"
#include "support/loopback_service.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

using namespace yhz;

class WatchGuiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        applySkin(*qApp);
        std::filesystem::remove(MainWindow::watchFile());
        QVERIFY2(service_.started(), service_.error().c_str());
        QVERIFY(service_.registry().markTaken("粤B66611"));
        QCOMPARE(service_.registry().lookupPlate("粤B66612"), service::Registry::Plate::Free);
    }

    void aPlateWatchedFromTheListIsToldOnTheScreenOnceItFrees() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        test::queryThroughRelay(w, service_.base(), {"粤B66611", "粤B66612", "粤B66613"});
        PlateStore& plates = *w.lists().plates;

        // A run first: the list knows which plate is taken.
        auto* start = w.findChild<QPushButton*>(QStringLiteral("超级按钮_开始查询"));
        auto* goOn = w.findChild<QPushButton*>(QStringLiteral("按钮_继续查询"));
        QVERIFY(goOn->isVisible() && goOn->isEnabled());
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        start->click();
        QVERIFY(!goOn->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled() && goOn->isEnabled(), 20000);

        // Ticked rows go to the watch list; nothing else.
        plates.setChecked(0, true);
        plates.setChecked(1, true);
        w.plateMenu()->findChild<QAction*>(QStringLiteral("加入关注"))->trigger();
        QCOMPARE(w.watch().store()->plates(),
                 (std::vector<std::string>{gbk("粤B66611"), gbk("粤B66612")}));
        QVERIFY(w.log().content().find(gbk("加入关注：新增2个，共2个")) != std::string::npos);
        QTRY_VERIFY(!w.watch().saving());
        QCOMPARE(testing::readFile(MainWindow::watchFile()), gbk("粤B66611\r\n粤B66612\r\n"));

        w.findChild<QPushButton*>(QStringLiteral("按钮_关注列表"))->click();
        WatchDialog* dialog = w.watchActions().dialog();
        QVERIFY(dialog != nullptr && dialog->isVisible());
        auto* list = dialog->findChild<QTableView*>(QStringLiteral("超级列表框_关注"));
        QTRY_COMPARE(list->model()->rowCount(), 2);
        QCOMPARE(list->model()->data(list->model()->index(0, 1)).toString(),
                 QStringLiteral("已占用"));
        auto* interval = dialog->findChild<QComboBox*>(QStringLiteral("组合框_检查间隔"));
        QCOMPARE(interval->currentText(), QStringLiteral("每30分钟"));
        QVERIFY(dialog->statusText().contains(QStringLiteral("分钟后检查")));

        // A check of the plates as they are: nothing is news.
        dialog->findChild<QPushButton*>(QStringLiteral("按钮_立即检查"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.watch().status().checksDone, 1, 20000);
        QVERIFY(w.watchActions().notifier()->popup() == nullptr);

        QVERIFY(service_.registry().markFree("粤B66611"));
        w.watch().checkNow();
        QTRY_COMPARE_WITH_TIMEOUT(w.watch().status().checksDone, 2, 20000);
        QTRY_VERIFY(w.watchActions().notifier()->popup() != nullptr);
        QWidget* popup = w.watchActions().notifier()->popup();
        QVERIFY(popup->isVisible());
        auto* text = popup->findChild<QLabel*>(QStringLiteral("关注提醒正文"));
        QCOMPARE(text->text(), QStringLiteral("粤B66611 现在可用，请尽快选号。"));
        QTRY_COMPARE(list->model()->data(list->model()->index(0, 1)).toString(),
                     QStringLiteral("可用"));
        QCOMPARE(
            list->model()->data(list->model()->index(0, 1), Qt::BackgroundRole).value<QColor>(),
            QColor(0, 255, 0));
        QVERIFY(w.log().content().find(gbk("关注的号码 粤B66611 已可用")) != std::string::npos);

        const QByteArray shot = qgetenv("YHZ_WATCH_SCREENSHOT");
        if (!shot.isEmpty()) {
            // Beside the main window, so that the picture shows both.
            dialog->move(w.frameGeometry().right() + 12, w.y());
            QTest::qWait(300);
            QVERIFY(
                QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(shot)));
        }

        // "移除选中" takes the ticked plate off the list and out of the file.
        list->model()->setData(list->model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
        dialog->findChild<QPushButton*>(QStringLiteral("按钮_移除关注"))->click();
        QCOMPARE(list->model()->rowCount(), 1);
        QTRY_VERIFY(!w.watch().saving());
        QCOMPARE(testing::readFile(MainWindow::watchFile()), gbk("粤B66611\r\n"));
    }

    void cleanupTestCase() { std::filesystem::remove(MainWindow::watchFile()); }

private:
    test::LoopbackService service_{std::chrono::milliseconds(20)};
};

QTEST_MAIN(WatchGuiTest)
#include "watch_gui_test.moc"
