#pragma once
// The report-style list views: check boxes in the first column, fixed
// columns, the list font, and a model that scales to a million rows.

#include <QList>
#include <QTableView>
#include <string_view>

namespace yhz {

// A view over `model` placed in `parent`, named `name`, with the given
// column widths. Right clicks arrive as customContextMenuRequested.
QTableView* makeReportList(QWidget* parent, std::string_view name, int x, int y, int w, int h,
                           QAbstractItemModel* model, const QList<int>& widths);

}  // namespace yhz
