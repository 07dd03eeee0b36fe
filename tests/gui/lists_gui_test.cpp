// The two lists on the real main window: menus at a right click, what each
// menu item does, rows and colours that arrive from other threads, and the
// filter button.

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <thread>

#include "app/list_actions.h"
#include "app/list_models.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/skin.h"
#include "text/encoding.h"

using namespace yhz;

namespace {

QTableView* list(MainWindow& w, const char* name) {
    return w.findChild<QTableView*>(QString::fromUtf8(name));
}

QAction* item(QMenu* menu, const char* text) {
    return menu->findChild<QAction*>(QString::fromUtf8(text));
}

QVariant cell(QTableView* view, int row, int column, int role = Qt::DisplayRole) {
    return view->model()->data(view->model()->index(row, column), role);
}

bool checkedAt(QTableView* view, int row) {
    return cell(view, row, 0, Qt::CheckStateRole).toInt() == Qt::Checked;
}

void addPlate(PlateStore& store, const std::string& plate, const std::string& date,
              bool checked = false) {
    const int row = store.appendNumbered(plate, date, 1);
    store.setChecked(row, checked);
}

void waitForTasks(MainWindow& w) {
    auto* actions = w.findChild<ListActions*>(QStringLiteral("listActions"));
    QTRY_COMPARE_WITH_TIMEOUT(actions->runningTasks(), 0, 20000);
}

}  // namespace

class ListsGuiTest : public QObject {
    Q_OBJECT

private slots:
    // The program's look; a closed window takes its skin along, so every test
    // puts it on again.
    void init() { applySkin(*qApp); }

    void rightClickShowsEachListsMenuAlsoOnAnEmptyArea() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const struct {
            const char* list;
            QMenu* menu;
            int page;
        } cases[] = {{"超级列表框3", w.plateMenu(), 2}, {"超级列表框1", w.segmentMenu(), 1}};
        for (const auto& c : cases) {
            w.findChild<QTabWidget*>()->setCurrentIndex(c.page);
            QTableView* view = list(w, c.list);
            QVERIFY(view != nullptr);
            QCOMPARE(view->model()->rowCount(), 0);
            const QPoint at(20, 200);
            QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                    view->viewport()->mapToGlobal(at));
            QApplication::sendEvent(view->viewport(), &event);
            QTRY_VERIFY(c.menu->isVisible());
            c.menu->close();
        }
    }

    void listsUseTheirFontAndCheckBoxes() {
        MainWindow w;
        QTableView* plates = list(w, "超级列表框3");
        QCOMPARE(plates->font().pixelSize(), 18);
        QCOMPARE(plates->font().families().value(0), QStringLiteral("黑体"));
        addPlate(*w.lists().plates, "A", "d");
        qobject_cast<StoreModel*>(plates->model())->sync();
        QVERIFY(plates->model()->flags(plates->model()->index(0, 0)) & Qt::ItemIsUserCheckable);
        // Ticking in the view reaches the store.
        QVERIFY(plates->model()->setData(plates->model()->index(0, 0), Qt::Checked,
                                         Qt::CheckStateRole));
        QVERIFY(w.lists().plates->checked(0));
    }

    void plateMenuItemsDoTheirWork() {
        MainWindow w;
        PlateStore& store = *w.lists().plates;
        QTableView* view = list(w, "超级列表框3");
        QMenu* menu = w.plateMenu();
        addPlate(store, gbk(" 粤A1"), "d1", true);
        addPlate(store, gbk(" 粤A1"), "d1");
        addPlate(store, gbk("粤A2"), "d2", true);
        addPlate(store, gbk("粤A3"), "d3");

        item(menu, "全选")->trigger();
        QCOMPARE(view->model()->rowCount(), 4);
        for (int row = 0; row < 4; ++row) {
            QVERIFY(checkedAt(view, row));
        }
        item(menu, "反选")->trigger();
        QVERIFY(!checkedAt(view, 0));
        store.setChecked(2, true);
        item(menu, "删除选中")->trigger();
        QCOMPARE(view->model()->rowCount(), 3);
        QCOMPARE(cell(view, 2, 1).toString(), QStringLiteral("粤A3"));
        QCOMPARE(cell(view, 2, 0).toString(), QStringLiteral("3"));

        item(menu, "去除重复")->trigger();
        QCOMPARE(view->model()->rowCount(), 2);
        QCOMPARE(cell(view, 0, 1).toString(), QStringLiteral("粤A1"));
        QCOMPARE(cell(view, 1, 0).toString(), QStringLiteral("2"));

        w.lists().colours->setCellColour(1, 1, 0, kColourGreen);
        item(menu, "全部删除")->trigger();
        QCOMPARE(view->model()->rowCount(), 0);
        QVERIFY(w.lists().colours->entries().empty());
    }

    void segmentMenuChecksAndInverts() {
        MainWindow w;
        SegmentStore& store = *w.lists().segments;
        store.append(SegmentRow{"A00000 ~", "t", false});
        store.append(SegmentRow{"B00000 ~", "t", true});
        QTableView* view = list(w, "超级列表框1");
        item(w.segmentMenu(), "反选")->trigger();
        QVERIFY(checkedAt(view, 0));
        QVERIFY(!checkedAt(view, 1));
        item(w.segmentMenu(), "全选")->trigger();
        QVERIFY(checkedAt(view, 1));
    }

    void rowsFromAWorkerArriveInBatches() {
        MainWindow w;
        w.show();
        QTableView* view = list(w, "超级列表框3");
        QSignalSpy inserted(view->model(), &QAbstractItemModel::rowsInserted);
        std::shared_ptr<PlateStore> store = w.lists().plates;
        std::thread worker([store] {
            for (int k = 0; k < 20000; ++k) {
                store->appendNumbered("P" + std::to_string(k), "d", 1);
            }
        });
        worker.join();
        QTRY_COMPARE(view->model()->rowCount(), 20000);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(cell(view, 19999, 0).toString(), QStringLiteral("20000"));
    }

    void cellColoursPaintThePlateCell() {
        MainWindow w;
        w.show();
        QTableView* view = list(w, "超级列表框3");
        PlateStore& store = *w.lists().plates;
        for (const char* plate : {"粤B12345", "粤B12346", "粤B12347", "粤B12348", "粤B12349"}) {
            addPlate(store, gbk(plate), "2024-06-01");
        }
        QTRY_COMPARE(view->model()->rowCount(), 5);
        // Before any colour is set the list paints itself.
        QVERIFY(!cell(view, 0, 1, Qt::BackgroundRole).isValid());

        CellColourTable& colours = *w.lists().colours;
        QSignalSpy changed(view->model(), &QAbstractItemModel::dataChanged);
        colours.setCellColour(0, 1, 0, kColourGreen);
        colours.setCellColour(1, 1, 0, kColourRed);
        colours.setCellColour(2, 1, 0, kColourBlue);
        colours.setCellColour(3, 1, 0, kColourGrey);
        // One repaint notice for the four cells.
        QTRY_COMPARE(changed.count(), 1);
        QTest::qWait(2 * StoreModel::kSyncIntervalMs);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(cell(view, 0, 1, Qt::BackgroundRole).value<QColor>(), QColor(0, 255, 0));
        QCOMPARE(cell(view, 1, 1, Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
        QCOMPARE(cell(view, 2, 1, Qt::BackgroundRole).value<QColor>(), QColor(0, 0, 255));
        QCOMPARE(cell(view, 4, 1, Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
        QCOMPARE(cell(view, 4, 1, Qt::BackgroundRole).value<QColor>(),
                 view->palette().color(QPalette::Base));

        // A picture of the page for the README, when asked for.
        const QByteArray shot = qgetenv("YHZ_LISTS_SCREENSHOT");
        if (!shot.isEmpty()) {
            w.findChild<QTabWidget*>()->setCurrentIndex(2);
            QTest::qWait(200);
            QVERIFY(w.grab().save(QString::fromLocal8Bit(shot)));
        }
    }

    void filterButtonExpandsCheckedSegmentsAndReports() {
        MainWindow w;
        w.show();
        w.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QStringLiteral("8"));
        w.findChild<QLineEdit*>(QStringLiteral("编辑框2"))->setText(QStringLiteral("4"));
        w.access().addItem("组合框1", gbk("广东广州-粤A"));
        w.lists().segments->append(SegmentRow{"A1B200 ~A1B299", "2024-01-02", true});
        w.lists().segments->append(SegmentRow{"C00000 ~C00099", "2024-01-03", false});

        auto* button = w.findChild<QPushButton*>(QStringLiteral("超级按钮_筛选号牌"));
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        button->click();
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 20000);
        waitForTasks(w);
        QCOMPARE(w.findChild<QTabWidget*>()->currentIndex(), 2);
        const auto said = MessageBox::lastRequest();
        QVERIFY(said.has_value());
        QCOMPARE(said->text, gbk("筛选完毕！"));
        QCOMPARE(said->caption, gbk("温馨提示："));
        QVERIFY(said->icon == MessageIcon::Information);
        QVERIFY(w.log().content().find(gbk("筛选完毕！本次列出17个号牌")) != std::string::npos);

        QTableView* view = list(w, "超级列表框3");
        QTRY_COMPARE(view->model()->rowCount(), 17);
        QCOMPARE(cell(view, 0, 0).toString(), QStringLiteral("1"));
        QCOMPARE(cell(view, 0, 1).toString(), QStringLiteral("粤A1B208"));
        QCOMPARE(cell(view, 0, 2).toString(), QStringLiteral("2024-01-02"));
    }

    void patternChoicesNarrowTheFilterRun() {
        MainWindow w;
        w.show();
        w.findChild<QLineEdit*>(QStringLiteral("编辑框1"))->setText(QStringLiteral("8"));
        w.findChild<QLineEdit*>(QStringLiteral("编辑框2"))->setText(QStringLiteral("4"));
        w.access().addItem("组合框1", gbk("广东广州-粤A"));
        w.lists().segments->append(SegmentRow{"A10000 ~A10099", "2024-01-02", true});
        w.lists().segments->append(SegmentRow{"A1B200 ~A1B299", "2024-01-03", true});
        w.lists().segments->append(SegmentRow{"A1B800 ~A1B899", "2024-01-04", true});

        auto* patterns = w.findChild<QToolButton*>(QStringLiteral("按钮_靓号"));
        QVERIFY(patterns != nullptr);
        QVERIFY(!patterns->isHidden());
        const QList<QAction*> choices = patterns->menu()->findChildren<QAction*>();
        int checkable = 0;
        for (const QAction* choice : choices) {
            checkable += choice->isCheckable() ? 1 : 0;
            QVERIFY(!choice->isChecked());
        }
        QCOMPARE(checkable, 7 + 10);
        // Three equal digits in a row, ending in 8, besides "8" and not "4".
        QVERIFY(!patterns->property("patternsOn").toBool());
        patterns->menu()->findChild<QAction*>(QStringLiteral("靓号_AAA"))->trigger();
        patterns->menu()->findChild<QAction*>(QStringLiteral("尾号_8"))->trigger();
        // The button shows that the filter is narrowed, and by how many choices.
        QVERIFY(patterns->property("patternsOn").toBool());
        QVERIFY(patterns->toolTip().contains(QStringLiteral("已选 2 项")));

        MessageBox::setNextAnswer(MessageAnswer::Ok);
        w.findChild<QPushButton*>(QStringLiteral("超级按钮_筛选号牌"))->click();
        waitForTasks(w);
        QTableView* view = list(w, "超级列表框3");
        QTRY_COMPARE(view->model()->rowCount(), 2);
        QCOMPARE(cell(view, 0, 1).toString(), QStringLiteral("粤A10008"));
        QCOMPARE(cell(view, 1, 1).toString(), QStringLiteral("粤A1B888"));
    }
};

QTEST_MAIN(ListsGuiTest)
#include "lists_gui_test.moc"
