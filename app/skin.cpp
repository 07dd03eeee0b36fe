#include "app/skin.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

// Resources of a static library must be registered by name, outside any namespace.
static void initPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace yhz {
namespace {

// Faces the window names, and what stands in for them where they are missing.
void substituteFonts() {
    const QStringList cjk{QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"),
                          QStringLiteral("Noto Sans SC"), QStringLiteral("WenQuanYi Micro Hei")};
    QFont::insertSubstitutions(QStringLiteral("微软雅黑"), cjk);
    QFont::insertSubstitutions(QStringLiteral("黑体"), QStringList{QStringLiteral("SimHei")} + cjk);
}

constexpr auto kStyleSheet = R"(
QPushButton[pictureButton="true"] {
    color: white;
    border-image: url(:/pictures/button-normal.png) 10 10 10 10 stretch stretch;
    border-width: 10px;
    padding: -10px;
}
QPushButton[pictureButton="true"]:hover { border-image: url(:/pictures/button-hover.png) 10 10 10 10 stretch stretch; }
QPushButton[pictureButton="true"]:pressed { border-image: url(:/pictures/button-pressed.png) 10 10 10 10 stretch stretch; }
QPushButton[pictureButton="true"]:disabled {
    color: #eef1f4;
    border-image: url(:/pictures/button-disabled.png) 10 10 10 10 stretch stretch;
}
QFrame#外形框1 {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #0b3d7a, stop:1 #1f6fd1);
}
QLabel#标签1 { color: white; }
QGroupBox { font-weight: bold; border: 1px solid #b9c4d0; border-radius: 4px; margin-top: 10px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; color: #0b3d7a; }
QGroupBox#分组框1 { background: #fffbe6; border: 2px solid #f4b400; }
QToolButton#按钮_靓号[patternsOn="true"] {
    color: white; font-weight: bold; background: #e0781e; border: 1px solid #b85c10; border-radius: 3px;
}
)";

}  // namespace

void applySkin(QApplication& app) {
    initPictures();
    substituteFonts();
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette = app.style()->standardPalette();
    palette.setColor(QPalette::Window, QColor(0xf3, 0xf6, 0xfa));
    palette.setColor(QPalette::Highlight, QColor(0x1e, 0x7b, 0xe0));
    app.setPalette(palette);
    QFont base(QStringLiteral("微软雅黑"));
    base.setPixelSize(13);
    app.setFont(base);
    app.setStyleSheet(QString::fromUtf8(kStyleSheet));
}

void detachSkin(QApplication& app) {
    app.setStyleSheet(QString());
}

}  // namespace yhz
