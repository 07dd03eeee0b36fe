// The plate drawings and their preview over the query page's list of the
// real window.

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "app/main_window.h"
#include "app/plate_preview.h"
#include "app/skin.h"
#include "text/encoding.h"

using namespace yhz;

namespace {

// Pixels of the middle band, where the characters stand, close to `ink`.
int inkPixels(const QImage& image, QColor ink) {
    int count = 0;
    for (int y = image.height() / 3; y < image.height() * 2 / 3; ++y) {
        for (int x = 12; x < image.width() - 12; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - ink.red()) + std::abs(c.green() - ink.green()) +
                    std::abs(c.blue() - ink.blue()) <
                60) {
                ++count;
            }
        }
    }
    return count;
}

bool isBlue(QColor c) {
    return c.blue() > 120 && c.red() < 60 && c.green() < 100;
}

}  // namespace

class PlatePreviewGuiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { applySkin(*qApp); }

    void ordinaryAndNewEnergyPlatesAreDrawnInTheirColours() {
        const QImage blue = drawPlate(QStringLiteral("粤B12345"));
        QCOMPARE(blue.size(), QSize(220, 70));
        QVERIFY(isBlue(blue.pixelColor(2, 35)));
        QVERIFY(isBlue(blue.pixelColor(110, 2)));
        QVERIFY(inkPixels(blue, Qt::white) > 200);
        QCOMPARE(inkPixels(blue, Qt::black), 0);

        const QImage green = drawPlate(QStringLiteral("粤BD12345"));
        QCOMPARE(green.size(), QSize(240, 70));
        const QColor top = green.pixelColor(120, 2);
        const QColor bottom = green.pixelColor(120, 67);
        QVERIFY(top.green() > top.red() && top.green() >= top.blue());
        QVERIFY(bottom.green() > bottom.red() + 60 && bottom.green() > bottom.blue() + 60);
        // The gradient: light at the top, deep at the bottom.
        QVERIFY(top.lightness() > bottom.lightness() + 40);
        QVERIFY(inkPixels(green, Qt::black) > 200);

        // Corners are rounded off.
        QCOMPARE(blue.pixelColor(0, 0).alpha(), 0);
        // Texts of other lengths are no plate.
        QVERIFY(drawPlate(QStringLiteral("粤B1234")).isNull());
        QVERIFY(drawPlate(QString()).isNull());
        QVERIFY(drawPlate(QStringLiteral("粤B123456789")).isNull());
    }

    void hoveringAPlateShowsItsPreview() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        PlateStore& plates = *w.lists().plates;
        plates.appendNumbered(gbk("粤B12345"), "2024-01-02", 1);
        plates.appendNumbered(gbk("粤BD12345"), "2024-01-02", 1);
        plates.appendNumbered(gbk("粤B1234"), "2024-01-02", 1);
        w.findChild<QTabWidget*>()->setCurrentIndex(2);
        auto* view = w.findChild<QTableView*>(QStringLiteral("超级列表框3"));
        QTRY_COMPARE(view->model()->rowCount(), 3);
        auto* preview = w.findChild<QLabel*>(QStringLiteral("图片框_号牌预览"));
        QVERIFY(preview != nullptr);
        QVERIFY(!preview->isVisible());

        auto hover = [&](int row, int column) {
            const QRect cell = view->visualRect(view->model()->index(row, column));
            QTest::mouseMove(view->viewport(), cell.center());
        };
        auto shown = [&] { return preview->pixmap().toImage(); };

        hover(0, 1);
        QTRY_VERIFY(preview->isVisible());
        QVERIFY(isBlue(shown().pixelColor(2, 35)));
        QCOMPARE(shown().width(), 220);

        // Any cell of a row stands for its plate.
        hover(1, 2);
        QTRY_COMPARE(shown().width(), 240);
        QVERIFY(shown().pixelColor(120, 67).green() > 150);
        const QByteArray shot = qgetenv("YHZ_PREVIEW_SCREENSHOT");
        if (!shot.isEmpty()) {
            QVERIFY(w.grab().save(QString::fromLocal8Bit(shot)));
        }

        hover(2, 1);
        QTRY_VERIFY(!preview->isVisible());

        // Selecting a row shows it too.
        view->setCurrentIndex(view->model()->index(0, 1));
        QTRY_VERIFY(preview->isVisible());
        QCOMPARE(shown().width(), 220);
    }

    void previewFollowsAScrollAndStepsAsideForMenus() {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        PlateStore& plates = *w.lists().plates;
        for (int k = 0; k < 60; ++k) {
            plates.appendNumbered(gbk("粤B1") + std::to_string(1000 + k), "2024-01-02", 1);
        }
        w.findChild<QTabWidget*>()->setCurrentIndex(2);
        auto* view = w.findChild<QTableView*>(QStringLiteral("超级列表框3"));
        QTRY_COMPARE(view->model()->rowCount(), 60);
        auto* preview = w.findChild<QLabel*>(QStringLiteral("图片框_号牌预览"));
        const auto plateAt = [&](QPoint at) {
            return view->indexAt(at).siblingAtColumn(1).data().toString();
        };

        const QPoint at = view->visualRect(view->model()->index(3, 1)).center();
        QTest::mouseMove(view->viewport(), at);
        QTRY_VERIFY(preview->isVisible());
        QCOMPARE(preview->accessibleName(), QStringLiteral("粤B11003"));
        // Above the row: the rows below the pointer stay in sight.
        const QRect row = view->visualRect(view->model()->index(3, 1));
        const QPoint rowTop = view->viewport()->mapTo(preview->parentWidget(), row.topLeft());
        QVERIFY(preview->geometry().bottom() < rowTop.y());

        // The wheel (or any scroll) moves other rows under the resting pointer.
        view->verticalScrollBar()->setValue(10);
        QVERIFY(plateAt(at) != QStringLiteral("粤B11003"));
        QTRY_COMPARE(preview->accessibleName(), plateAt(at));
        QVERIFY(preview->isVisible());

        // A right click puts it away, and it stays away while the menu is open.
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(view->viewport(), &click);
        QVERIFY(!preview->isVisible());
        QTRY_VERIFY(QApplication::activePopupWidget() == w.plateMenu());
        QTest::mouseMove(view->viewport(), at + QPoint(0, 30));
        QTest::qWait(100);
        QVERIFY(!preview->isVisible());
        w.plateMenu()->close();
        QTest::mouseMove(view->viewport(), at);
        QTRY_VERIFY(preview->isVisible());
    }
};

QTEST_MAIN(PlatePreviewGuiTest)
#include "plate_preview_gui_test.moc"
