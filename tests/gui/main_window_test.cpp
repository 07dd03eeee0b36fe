// The real main window on the offscreen platform: controls, captions, the
// window's own events.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>
#include <thread>

#include "app/file_dialog.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/qt_common/qt_text.h"
#include "app/skin.h"
#include "app/translations.h"
#include "base/control_names.h"
#include "base/program_values.h"
#include "text/encoding.h"

using namespace yhz;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    // Runs `act` on the next modal dialog once it is shown.
    template <typename Act>
    static void whenModal(Act act) {
        auto* poll = new QTimer;
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, [poll, act] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                poll->stop();
                poll->deleteLater();
                act(modal);
            }
        });
        poll->start();
    }

    template <typename W>
    W* find(MainWindow& w, const char* name) {
        auto* widget = w.findChild<W*>(QString::fromUtf8(name));
        if (widget == nullptr) {
            qWarning("missing control %s", name);
        }
        return widget;
    }

private slots:
    void initTestCase() {
        QVERIFY(loadChineseTranslations(*qApp));
        applySkin(*qApp);
    }

    void controlsHaveTheirNamesCaptionsAndPlaces() {
        MainWindow w;
        w.show();
        // Every name the core can address is one of the window's objects.
        for (const std::string_view name : control::main_window::kAll) {
            const QString object = fromName(name);
            QVERIFY2(w.objectName() == object || w.findChild<QObject*>(object) != nullptr,
                     std::string(name).c_str());
        }
        QCOMPARE(w.windowTitle(), QStringLiteral("云海舟查号软件"));
        QCOMPARE(w.size(), QSize(840, 640));

        struct Caption {
            const char* name;
            const char* text;
        };
        const Caption buttons[] = {
            {"按钮1", "跳转该地区"},
            {"按钮2", "采集逾期"},
            {"按钮3", "采集号段"},
            {"超级按钮_筛选号牌", "筛选号牌"},
            {"超级按钮_开始查询", "开始查询"},
            {"超级按钮_停止查询", "停止查询"},
            {"超级按钮_导出号牌", "导出未选号牌"},
        };
        for (const Caption& c : buttons) {
            auto* b = find<QPushButton>(w, c.name);
            QVERIFY(b != nullptr);
            QCOMPARE(b->text(), QString::fromUtf8(c.text));
        }
        QVERIFY(!find<QPushButton>(w, "超级按钮_停止查询")->isEnabled());
        QVERIFY(find<QPushButton>(w, "超级按钮_开始查询")->isEnabled());

        const Caption labels[] = {
            {"标签1", "云海舟车牌自编选号查询软件"},
            {"透明标签10", "包含："},
            {"透明标签11", "不包含："},
            {"透明标签5", "剩余查询数："},
            {"透明标签6", "可用数量："},
            {"透明标签1", "绿色可用，红色占用，蓝色逾期,灰色查询中"},
            {"透明标签_剩余", ""},
            {"透明标签_可用", ""},
            {"透明标签_公告", ""},
        };
        for (const Caption& c : labels) {
            auto* l = find<QLabel>(w, c.name);
            QVERIFY(l != nullptr);
            QCOMPARE(l->text(), QString::fromUtf8(c.text));
        }
        const Caption groups[] = {{"分组框4", "号牌筛选"},
                                  {"分组框5", "投放号段"},
                                  {"分组框7", "查询是否占用"},
                                  {"分组框1", "公告："},
                                  {"分组框2", "操作日志"}};
        for (const Caption& c : groups) {
            auto* g = find<QGroupBox>(w, c.name);
            QVERIFY(g != nullptr);
            QCOMPARE(g->title(), QString::fromUtf8(c.text));
        }
        QCOMPARE(find<QLineEdit>(w, "编辑框1")->text(), QStringLiteral("8,68,69"));
        QCOMPARE(find<QLineEdit>(w, "编辑框2")->text(), QStringLiteral("4,37"));
        QCOMPARE(find<QComboBox>(w, "组合框1")->count(), 0);
        QCOMPARE(find<QComboBox>(w, "组合框2")->count(), 0);
        QVERIFY(find<QPlainTextEdit>(w, "编辑框_日志")->isReadOnly());
        QVERIFY(find<QWebEngineView>(w, "互联网浏览器1") != nullptr);
        QVERIFY(find<QLabel>(w, "图片框1")->pixmap().width() > 0);

        auto* tabs = find<QTabWidget>(w, "选择夹2");
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("号段采集"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("号码过滤"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("查号"));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->geometry(), QRect(0, 80, 472, 560));
        QCOMPARE(find<QGroupBox>(w, "分组框2")->geometry(), QRect(472, 80, 368, 560));
        QCOMPARE(find<QGroupBox>(w, "分组框1")->geometry(), QRect(76, 220, 328, 264));

        auto* timer = w.findChild<QTimer*>(QStringLiteral("时钟1"));
        QVERIFY(timer != nullptr);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 3000);
    }

    void listsHaveTheirColumns() {
        MainWindow w;
        auto* segments = find<QTableView>(w, "超级列表框1");
        auto* plates = find<QTableView>(w, "超级列表框3");
        QVERIFY(segments && plates);
        const auto header = [](QTableView* v, int c) {
            return v->model()->headerData(c, Qt::Horizontal).toString();
        };
        QCOMPARE(header(segments, 0), QStringLiteral("号段"));
        QCOMPARE(header(segments, 1), QStringLiteral("投放时间"));
        QCOMPARE(segments->columnWidth(0), 200);
        QCOMPARE(segments->columnWidth(1), 160);
        QCOMPARE(header(plates, 0), QStringLiteral("Id"));
        QCOMPARE(header(plates, 1), QStringLiteral("号牌"));
        QCOMPARE(header(plates, 2), QStringLiteral("投放日期"));
        QCOMPARE(plates->columnWidth(0), 50);
        QCOMPARE(plates->columnWidth(1), 125);
        QCOMPARE(plates->columnWidth(2), 190);
    }

    void menusHoldTheirItemsInOrder() {
        MainWindow w;
        QStringList plateItems;
        for (QAction* a : w.plateMenu()->actions()) {
            plateItems << a->text();
        }
        // The list's own entries, then, apart, the watch list's.
        QCOMPARE(plateItems,
                 (QStringList{"全选", "反选", "删除选中", "全部删除", "去除重复",
                              "导入号码[一行一个]", "导出失败号码", "导出选中", "", "加入关注"}));
        QStringList segmentItems;
        for (QAction* a : w.segmentMenu()->actions()) {
            segmentItems << a->text();
        }
        QCOMPARE(segmentItems, (QStringList{"全选", "反选"}));
        QVERIFY(MainWindow::fileFilter().startsWith(QStringLiteral("文本文件（*.txt）")));
    }

    void noToTheCloseQuestionKeepsTheWindow() {
        MainWindow w;
        w.show();
        MessageBox::setNextAnswer(MessageAnswer::No);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        const auto asked = MessageBox::lastRequest();
        QVERIFY(asked.has_value());
        QCOMPARE(asked->text, gbk("您真的要退出软件吗？"));
        QCOMPARE(asked->caption, gbk("信息："));
        QVERIFY(asked->buttons == MessageButtons::YesNo);
        QVERIFY(asked->icon == MessageIcon::None);

        MessageBox::setNextAnswer(MessageAnswer::Yes);
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
    }

    void qtsOwnDialogsSpeakChinese() {
        MainWindow w;
        w.show();
        // The close question, shown for real and answered 否.
        QStringList buttons;
        whenModal([&buttons](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            for (QAbstractButton* b : box->buttons()) {
                // "是(&Y)": the text without its keyboard mark.
                buttons << b->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
            }
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(!w.close());
        buttons.sort();
        QCOMPARE(buttons, (QStringList{QStringLiteral("否"), QStringLiteral("是")}));

        // The save dialog of the exports: its title and buttons.
        QString title;
        QStringList dialogButtons;
        whenModal([&](QWidget* modal) {
            title = modal->windowTitle();
            for (QAbstractButton* b : modal->findChildren<QAbstractButton*>()) {
                dialogButtons << b->text();
            }
            qobject_cast<QDialog*>(modal)->reject();
        });
        QVERIFY(FileDialog::getSaveFileName(&w, MainWindow::fileFilter(), ".txt").isEmpty());
        QCOMPARE(title, QStringLiteral("另存为"));
        QVERIFY(dialogButtons.contains(QStringLiteral("取消")));
    }

    void extraRoomGoesToTheBrowserTheListsAndTheLog() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.minimumSize(), QSize(840, 640));
        const char* names[] = {"互联网浏览器1", "超级列表框1", "超级列表框3", "编辑框_日志",
                               "按钮1",         "按钮2",       "按钮3",       "超级按钮_开始查询",
                               "组合框2",       "标签1"};
        QList<QRect> first;
        for (const char* name : names) {
            first << find<QWidget>(w, name)->geometry();
        }

        w.resize(1600, 1000);
        QTRY_COMPARE(w.size(), QSize(1600, 1000));
        const int pages = 456;  // three fifths of the 760 extra pixels; the log has the rest
        const QSize grown[] = {{pages, 360}, {pages, 360}, {pages, 360}, {304, 360}};
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(find<QWidget>(w, names[k])->size(), first[k].size() + grown[k]);
        }
        QCOMPARE(find<QWidget>(w, "分组框2")->x(), 472 + pages);
        // The controls above them keep their places, and so their order.
        for (int k = 4; k < 10; ++k) {
            QCOMPARE(find<QWidget>(w, names[k])->geometry(), first[k]);
        }

        // Back at the first size, every place is the first one again.
        w.resize(840, 640);
        QTRY_COMPARE(w.size(), QSize(840, 640));
        for (int k = 0; k < 10; ++k) {
            QCOMPARE(find<QWidget>(w, names[k])->geometry(), first[k]);
        }
        QCOMPARE(find<QTabWidget>(w, "选择夹2")->geometry(), QRect(0, 80, 472, 560));
    }

    void firstPageChangeHidesTheAnnouncementForGood() {
        MainWindow w;
        w.show();
        auto* box = find<QGroupBox>(w, "分组框1");
        QVERIFY(box->isVisible());
        auto* tabs = find<QTabWidget>(w, "选择夹2");
        tabs->setCurrentIndex(2);
        QVERIFY(!box->isVisible());
        tabs->setCurrentIndex(0);
        QVERIFY(!box->isVisible());
    }

    void pictureButtonsShowThePageThroughTheirRoundedCorners() {
        // Hover and pressed faces too, which a window that is not touched never shows.
        for (const char* face : {"normal", "hover", "pressed", "disabled"}) {
            const QImage picture(QStringLiteral(":/pictures/button-%1.png").arg(face));
            QVERIFY(!picture.isNull());
            QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);
        }
        MainWindow w;
        w.show();
        auto* tabs = find<QTabWidget>(w, "选择夹2");
        struct Face {
            int tab;
            const char* name;
        };
        // The disabled 停止查询 shows the disabled face.
        const Face faces[] = {{1, "超级按钮_筛选号牌"},
                              {2, "超级按钮_开始查询"},
                              {2, "超级按钮_停止查询"},
                              {2, "超级按钮_导出号牌"}};
        for (const Face& f : faces) {
            tabs->setCurrentIndex(f.tab);
            auto* button = find<QPushButton>(w, f.name);
            QVERIFY(button != nullptr);
            // The outermost corner pixel lies outside the rounded picture: it
            // must be what the page shows there without the button.
            QWidget* page = button->parentWidget();
            const QPoint corner = button->pos();
            const QColor withButton = page->grab().toImage().pixelColor(corner);
            button->hide();
            const QColor pageAlone = page->grab().toImage().pixelColor(corner);
            button->show();
            QVERIFY2(withButton == pageAlone,
                     qPrintable(
                         QStringLiteral("%1: corner %2, page %3")
                             .arg(QString::fromUtf8(f.name), withButton.name(), pageAlone.name())));
        }
    }

    void dataDirectoryIsMade() {
        QDir(QString::fromStdString(dataDirectory())).removeRecursively();
        MainWindow w;
        QVERIFY(QFileInfo(QString::fromStdString(dataDirectory())).isDir());
        MainWindow again;  // an existing folder is left as it is
        QVERIFY(QFileInfo(QString::fromStdString(dataDirectory())).isDir());
    }

    void workersReachTheWindowThroughItsInterface() {
        MainWindow w;
        w.show();
        WindowAccess& access = w.access();
        std::thread worker([&access, &w] {
            access.addItem("组合框1", gbk("广东广州-粤A"));
            access.addItem("组合框1", gbk("江苏盐城-苏J"));
            access.setSelection("组合框1", 1);
            access.setCaption("透明标签_剩余", "12");
            access.setEnabled("按钮3", false);
            access.setEditText("编辑框1", "6,8");
            w.log().appendLog(gbk("工作线程"));
        });
        worker.join();
        // The mirrors answer at once, before the GUI thread has applied anything.
        QCOMPARE(access.selection("组合框1"), 1);
        QCOMPARE(access.itemText("组合框1", 1), gbk("江苏盐城-苏J"));
        QCOMPARE(access.editText("编辑框1"), std::string("6,8"));
        QCoreApplication::processEvents();
        QCOMPARE(find<QComboBox>(w, "组合框1")->currentText(), QStringLiteral("江苏盐城-苏J"));
        QCOMPARE(find<QLabel>(w, "透明标签_剩余")->text(), QStringLiteral("12"));
        QVERIFY(!find<QPushButton>(w, "按钮3")->isEnabled());
        QCOMPARE(find<QLineEdit>(w, "编辑框1")->text(), QStringLiteral("6,8"));
        QVERIFY(find<QPlainTextEdit>(w, "编辑框_日志")
                    ->toPlainText()
                    .contains(QStringLiteral(" >>> 工作线程")));

        // A user's change reaches the mirror too.
        find<QComboBox>(w, "组合框1")->setCurrentIndex(0);
        find<QLineEdit>(w, "编辑框2")->setText(QStringLiteral("4"));
        QCOMPARE(access.selection("组合框1"), 0);
        QCOMPARE(access.editText("编辑框2"), std::string("4"));
        find<QTabWidget>(w, "选择夹2")->setCurrentIndex(1);
        QCOMPARE(access.currentPage(), 1);
    }

    void startupDataFillsTheRealWindow() {
        ServiceInfo info;
        info.latestVersion = "2.1.2";
        info.announcement = gbk("今日公告");
        info.serviceConfigJson = R"({"url1":"http://127.0.0.1:9/relay"})";
        MainWindow w(MainWindow::Startup{info,
                                         [](std::string_view path, std::stop_token) {
                                             return std::string(path == "/GetLine.php" ? "2" : "");
                                         },
                                         nullptr, "2.2.0"});
        w.show();
        w.waitForStartupData();
        QCoreApplication::processEvents();
        auto* regions = find<QComboBox>(w, "组合框1");
        QCOMPARE(regions->count(), 53);
        QCOMPARE(regions->currentIndex(), 0);
        QCOMPARE(regions->currentText(), QStringLiteral("北京-京A"));
        QCOMPARE(find<QComboBox>(w, "组合框2")->count(), 2);
        QCOMPARE(find<QComboBox>(w, "组合框2")->itemText(1), QStringLiteral("   线路[ 2 ]"));
        QCOMPARE(find<QLabel>(w, "透明标签_公告")->text(), QStringLiteral("今日公告"));
        QCOMPARE(w.startupValues().relayAddress(), std::string("http://127.0.0.1:9/relay"));
        QVERIFY(find<QPlainTextEdit>(w, "编辑框_日志")
                    ->toPlainText()
                    .contains(QStringLiteral("----实际以官方查询为准，数据仅供参考-----")));
        QVERIFY(w.log().content().find(gbk("发现新版本 2.2.0，请通过软件包管理器更新")) !=
                std::string::npos);
        // Choosing 江苏盐城 points at site entry 18.
        regions->setCurrentIndex(17);
        QVERIFY(w.startupValues().site(w.access().selection("组合框1") + 1).find("js-yc") !=
                std::string::npos);
    }

    void missingServiceInformationIsLogged() {
        MainWindow w(MainWindow::Startup{std::nullopt, {}, nullptr, {}});
        w.waitForStartupData();
        QCoreApplication::processEvents();
        QVERIFY(find<QPlainTextEdit>(w, "编辑框_日志")
                    ->toPlainText()
                    .contains(QStringLiteral("无法获取服务信息")));
        QCOMPARE(find<QComboBox>(w, "组合框2")->count(), 0);
    }

    void aWorkersMessageBoxWaitsForTheAnswer() {
        MainWindow w;
        w.show();
        MessageBox::setNextAnswer(MessageAnswer::Yes);
        MessageAnswer answer = MessageAnswer::No;
        std::thread worker([&] {
            answer = w.access().showMessage(
                {gbk("问题"), gbk("信息："), MessageButtons::YesNo, MessageIcon::None});
        });
        // The worker blocks until the GUI thread has handled the box.
        QTRY_VERIFY(MessageBox::lastRequest().has_value() &&
                    MessageBox::lastRequest()->text == gbk("问题"));
        worker.join();
        QVERIFY(answer == MessageAnswer::Yes);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
