// The "查号" page of the real window against the relay of the real service
// program on a loopback port: buttons, counters, colours and the end message.

#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/skin.h"
#include "relay_window.h"
#include "support/loopback_service.h"
#include "text/encoding.h"

using namespace yhz;

class QueryGuiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        applySkin(*qApp);
        QVERIFY2(service_.started(), service_.error().c_str());
        service::Registry& registry = service_.registry();
        QVERIFY(registry.markTaken("粤B22222"));
        for (int n = 12345; free_.empty(); ++n) {
            const std::string plate = "粤B" + std::to_string(n);
            if (registry.lookupPlate(plate) == service::Registry::Plate::Free) {
                free_ = plate;
            }
        }
    }

    void aRunColoursTheRowsAndCountsThemOnThePage() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.lists().expired->append(gbk("粤B33333"));
        test::queryThroughRelay(w, service_.base(), {free_, "粤B22222", "粤B33333", "粤B1234"});

        auto* start = w.findChild<QPushButton*>(QStringLiteral("超级按钮_开始查询"));
        auto* stop = w.findChild<QPushButton*>(QStringLiteral("超级按钮_停止查询"));
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        start->click();
        QVERIFY(!start->isEnabled());
        QVERIFY(stop->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 20000);
        QVERIFY(!stop->isEnabled());
        const auto said = MessageBox::lastRequest();
        QVERIFY(said.has_value());
        QCOMPARE(said->text, gbk("查询结束！"));

        auto label = [&](const char* name) {
            return w.findChild<QLabel*>(QString::fromUtf8(name))->text();
        };
        QTRY_COMPARE(label("透明标签_剩余"), QStringLiteral("0"));
        QCOMPARE(label("透明标签_可用"), QStringLiteral("1"));

        auto* view = w.findChild<QTableView*>(QStringLiteral("超级列表框3"));
        auto background = [&](int row) {
            return view->model()
                ->data(view->model()->index(row, 1), Qt::BackgroundRole)
                .value<QColor>();
        };
        QTRY_COMPARE(background(0), QColor(0, 255, 0));
        QTRY_COMPARE(background(1), QColor(255, 0, 0));
        QTRY_COMPARE(background(2), QColor(0, 0, 255));
        // A 7-character plate is no plate to the relay: its answer is shown.
        QTRY_COMPARE(view->model()->data(view->model()->index(3, 2)).toString(),
                     QStringLiteral("号牌格式错误"));
        QCOMPARE(background(3), QColor(0x80, 0x80, 0x80));
        // One log line with the run's figures.
        QVERIFY(w.log().content().find(gbk(
                    "查询结束！共4个：可用1个，占用1个，逾期1个，失败1个")) != std::string::npos);

        const QByteArray shot = qgetenv("YHZ_QUERY_SCREENSHOT");
        if (!shot.isEmpty()) {
            QTest::qWait(200);
            QVERIFY(w.grab().save(QString::fromLocal8Bit(shot)));
        }
    }

    void theProgressBarMovesDuringARunAndEndsFull() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // With the relay's delay and two requests at a time, long enough to
        // be seen part way.
        constexpr int kPlates = 150;
        std::vector<std::string> plates;
        for (int n = 0; n < kPlates; ++n) {
            plates.push_back("粤B" + std::to_string(50000 + n));
        }
        test::queryThroughRelay(w, service_.base(), plates);
        auto* bar = w.findChild<QProgressBar*>(QStringLiteral("进度条_查询"));
        QVERIFY(bar != nullptr);
        QVERIFY(!bar->isVisible());

        auto* start = w.findChild<QPushButton*>(QStringLiteral("超级按钮_开始查询"));
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        start->click();
        QTRY_VERIFY_WITH_TIMEOUT(bar->isVisible() && bar->value() > 0, 10000);
        QCOMPARE(bar->maximum(), kPlates);
        const int seen = bar->value();
        QVERIFY2(seen < kPlates, "the run ended before the bar was seen part way");
        QVERIFY(bar->text().contains(QStringLiteral("个/分")));
        const QByteArray shot = qgetenv("YHZ_PROGRESS_SCREENSHOT");
        if (!shot.isEmpty()) {
            QVERIFY(w.grab().save(QString::fromLocal8Bit(shot)));
        }
        QTRY_VERIFY_WITH_TIMEOUT(bar->value() > seen, 10000);

        QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), 30000);
        QTRY_COMPARE(bar->value(), kPlates);
        QCOMPARE(bar->text().left(8), QStringLiteral("150/150 "));
        QVERIFY(bar->text().endsWith(QStringLiteral("剩余 0:00")));
        // The bar and the counter beside the list tell the same story.
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("透明标签_剩余"))->text(),
                 QStringLiteral("0"));

        // "全部删除" leaves no list for the last run's figures to describe.
        w.plateMenu()->findChild<QAction*>(QStringLiteral("全部删除"))->trigger();
        QTRY_VERIFY(bar->text().isEmpty());
        QVERIFY(bar->value() < bar->minimum());
    }

private:
    test::LoopbackService service_{std::chrono::milliseconds(20)};
    std::string free_;
};

QTEST_MAIN(QueryGuiTest)
#include "query_gui_test.moc"
