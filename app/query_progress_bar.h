#pragma once
// The bar beside the relay choice that follows a query run: done/total, the
// rate and the time left. It polls the run's own state, so it never tells
// another story than the counters beside the list.

#include <QProgressBar>
#include <functional>

#include "query/query_progress.h"

class QTimer;

namespace yhz {

class QueryProgressBar : public QProgressBar {
public:
    using Source = std::function<QueryProgress()>;

    QueryProgressBar(QWidget* parent, Source source);

    // From the start button: follow the run that just started.
    void follow();
    // The plate list was emptied: the last run's figures no longer describe
    // it. The bar stays where it is, empty, until the next run.
    void clear();

private:
    void refresh();

    Source source_;
    QTimer* timer_;
};

}  // namespace yhz
