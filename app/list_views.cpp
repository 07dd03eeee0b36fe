#include "app/list_views.h"

#include <QHeaderView>

#include "app/qt_common/qt_text.h"

namespace yhz {

QTableView* makeReportList(QWidget* parent, std::string_view name, int x, int y, int w, int h,
                           QAbstractItemModel* model, const QList<int>& widths) {
    auto* view = new QTableView(parent);
    view->setObjectName(fromName(name));
    view->setGeometry(x, y, w, h);
    QFont font;
    font.setFamilies(
        {QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(18);
    view->setFont(font);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->setCornerButtonEnabled(false);
    // Rows of one fixed height: the view never measures a million of them.
    QHeaderView* rows = view->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    QHeaderView* columns = view->horizontalHeader();
    columns->setStretchLastSection(false);
    columns->setHighlightSections(false);
    columns->setMinimumSectionSize(16);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < widths.size(); ++column) {
        view->setColumnWidth(column, widths[column]);
    }
    return view;
}

}  // namespace yhz
