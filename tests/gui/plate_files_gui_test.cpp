// Import and export through the menus and the export button, with the file
// dialog and message box answered through their seams.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "app/file_dialog.h"
#include "app/list_actions.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "text/encoding.h"

using namespace yhz;

namespace {

void trigger(MainWindow& w, const char* text) {
    w.plateMenu()->findChild<QAction*>(QString::fromUtf8(text))->trigger();
}

void waitForTasks(MainWindow& w) {
    auto* actions = w.findChild<ListActions*>(QStringLiteral("listActions"));
    QTRY_COMPARE_WITH_TIMEOUT(actions->runningTasks(), 0, 20000);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

class PlateFilesGuiTest : public QObject {
    Q_OBJECT

private slots:
    void importThenExportRoundTrips() {
        QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/号牌-XXXXXX"));
        QVERIFY(dir.isValid());
        MainWindow w;
        PlateStore& store = *w.lists().plates;
        store.appendNumbered("OLD", "d", 1);

        const QString in = dir.filePath(QStringLiteral("导入.txt"));
        {
            QFile file(in);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes(gbk("粤B12345\r\n 粤B22222 \r\n粤C33333")));
        }
        FileDialog::setNextFileName(in);
        trigger(w, "导入号码[一行一个]");
        waitForTasks(w);
        QCOMPARE(store.rowCount(), 4);
        QCOMPARE(store.cellText(1, PlateRow::kId), "1");
        QCOMPARE(store.cellText(2, PlateRow::kPlate), gbk("粤B22222"));
        QCOMPARE(store.cellText(3, PlateRow::kDate), gbk("由外部导入"));
        auto* view = w.findChild<QTableView*>(QStringLiteral("超级列表框3"));
        QTRY_COMPARE(view->model()->rowCount(), 4);

        // "导出选中" on the GUI thread; a bare name gets ".txt".
        store.setChecked(1, true);
        store.setChecked(3, true);
        const QString chosen = dir.filePath(QStringLiteral("选中"));
        FileDialog::setNextFileName(chosen);
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        trigger(w, "导出选中");
        QCOMPARE(readAll(chosen + QStringLiteral(".txt")), bytes(gbk("粤B12345\r\n粤C33333\r\n")));
        auto said = MessageBox::lastRequest();
        QVERIFY(said.has_value());
        QCOMPARE(said->text,
                 gbk("已导出到>") + gbk((chosen + QStringLiteral(".txt")).toStdString()));
        QCOMPARE(said->caption, gbk("温馨提示："));

        // "导出失败号码" in the background: every row not found free or taken.
        store.setStatus(0, PlateStatus::Available);
        store.setStatus(2, PlateStatus::Occupied);
        const QString failed = dir.filePath(QStringLiteral("失败.TXT"));
        FileDialog::setNextFileName(failed);
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        trigger(w, "导出失败号码");
        waitForTasks(w);
        QCOMPARE(readAll(failed + QStringLiteral(".txt")), bytes(gbk("粤B12345\r\n粤C33333\r\n")));

        // The export button: rows found free.
        const QString available = dir.filePath(QStringLiteral("可用.txt"));
        FileDialog::setNextFileName(available);
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        w.findChild<QPushButton*>(QStringLiteral("超级按钮_导出号牌"))->click();
        waitForTasks(w);
        QCOMPARE(readAll(available), QByteArray("OLD\r\n"));
    }

    void cancelledDialogsDoNothingAndFailedWritesSaySo() {
        QTemporaryDir dir;
        MainWindow w;
        PlateStore& store = *w.lists().plates;
        store.appendNumbered("A", "d", 1);

        FileDialog::setNextFileName(QString());
        trigger(w, "导入号码[一行一个]");
        FileDialog::setNextFileName(QString());
        trigger(w, "导出失败号码");
        waitForTasks(w);
        QCOMPARE(store.rowCount(), 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);

        const QString nowhere = dir.filePath(QStringLiteral("no/such/dir/out.txt"));
        FileDialog::setNextFileName(nowhere);
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        trigger(w, "导出失败号码");
        waitForTasks(w);
        const auto said = MessageBox::lastRequest();
        QVERIFY(said.has_value());
        QVERIFY(said->icon == MessageIcon::Critical);
        QVERIFY(said->text.find(gbk("已导出到>")) == std::string::npos);

        // A folder is refused with a message, not taken for an empty file.
        FileDialog::setNextFileName(dir.path());
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        trigger(w, "导入号码[一行一个]");
        waitForTasks(w);
        const auto refused = MessageBox::lastRequest();
        QVERIFY(refused.has_value());
        QVERIFY(refused->icon == MessageIcon::Critical);
        QVERIFY(refused->text.starts_with(gbk("导入失败")));
        QCOMPARE(store.rowCount(), 1);
    }
};

QTEST_MAIN(PlateFilesGuiTest)
#include "plate_files_gui_test.moc"
