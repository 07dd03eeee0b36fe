#include "app/query_progress_bar.h"

#include <QTimer>
#include <algorithm>

namespace yhz {

namespace {
// A few times a second: smooth enough to watch, cheap enough to forget.
constexpr int kPollMs = 250;
}  // namespace

QueryProgressBar::QueryProgressBar(QWidget* parent, Source source)
    : QProgressBar(parent), source_(std::move(source)), timer_(new QTimer(this)) {
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    // Out of the way until the first run.
    hide();
    timer_->setInterval(kPollMs);
    connect(timer_, &QTimer::timeout, this, &QueryProgressBar::refresh);
}

void QueryProgressBar::follow() {
    refresh();
    timer_->start();
}

void QueryProgressBar::clear() {
    timer_->stop();
    // Below the minimum: no bar and no text.
    reset();
}

void QueryProgressBar::refresh() {
    const QueryProgress progress = source_();
    if (!progress.started()) {
        hide();
        timer_->stop();
        return;
    }
    // An empty list is a run that is over at once: shown full.
    setMaximum(std::max(progress.total, 1));
    setValue(progress.total == 0 ? 1 : std::min(progress.done, progress.total));
    // Percent signs would be read as placeholders; the caption has none.
    setFormat(QString::fromStdString(progressCaption(progress, QueryProgress::Clock::now())));
    show();
    // Workers of a stopped run may still end after it; keep following those.
    if (progress.endedAt && progress.done >= progress.total) {
        timer_->stop();
    }
}

}  // namespace yhz
