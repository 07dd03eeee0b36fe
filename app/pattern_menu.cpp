#include "app/pattern_menu.h"

#include <QMenu>
#include <QStyle>

#include "app/qt_common/qt_text.h"
#include "base/control_names.h"

namespace yhz {
namespace {

void addChoice(QMenu* menu, std::string_view name, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setObjectName(fromName(name));
    action->setCheckable(true);
}

// The button tells at a glance that the filter is narrowed: marked (the
// skin colours it) while any choice is on, with the count in its tip.
void showChoices(QToolButton* button) {
    int on = 0;
    for (const QAction* choice : button->menu()->findChildren<QAction*>()) {
        on += choice->isCheckable() && choice->isChecked() ? 1 : 0;
    }
    button->setProperty("patternsOn", on > 0);
    button->setToolTip(
        on == 0 ? QStringLiteral("靓号：勾选的图案任一即可，另可限定尾号；都不勾选时不限")
                : QStringLiteral("靓号：已选 %1 项，筛选只留下符合的号码").arg(on));
    // A dynamic property takes effect in the style sheet only when polished anew.
    button->style()->unpolish(button);
    button->style()->polish(button);
}

}  // namespace

QToolButton* makePatternButton(QWidget* parent, int x, int y, int w, int h) {
    auto* button = new QToolButton(parent);
    button->setObjectName(fromName(control::kPatternButton));
    button->setGeometry(x, y, w, h);
    button->setText(QStringLiteral("靓"));
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto* menu = new QMenu(button);
    addChoice(menu, control::kPatternTriple, QStringLiteral("AAA 三连"));
    addChoice(menu, control::kPatternQuadruple, QStringLiteral("AAAA 四连"));
    addChoice(menu, control::kPatternPairs, QStringLiteral("AABB 对子"));
    addChoice(menu, control::kPatternAlternation, QStringLiteral("ABAB 交替"));
    addChoice(menu, control::kPatternMirror, QStringLiteral("ABBA 回文"));
    addChoice(menu, control::kPatternStraightUp, QStringLiteral("1234 顺子"));
    addChoice(menu, control::kPatternStraightDown, QStringLiteral("4321 倒顺"));
    QMenu* tails = menu->addMenu(QStringLiteral("尾号"));
    for (size_t digit = 0; digit < control::kTailDigitChoices.size(); ++digit) {
        addChoice(tails, control::kTailDigitChoices[digit], QString::number(digit));
    }
    button->setMenu(menu);
    showChoices(button);
    for (QAction* choice : menu->findChildren<QAction*>()) {
        if (choice->isCheckable()) {
            QObject::connect(choice, &QAction::toggled, button, [button] { showChoices(button); });
        }
    }
    return button;
}

}  // namespace yhz
