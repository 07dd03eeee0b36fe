#include "app/retrieval_progress_label.h"

#include <QEvent>
#include <QTimer>

namespace yhz {

namespace {
constexpr int kPollMs = 250;
// Long enough to read the end, short enough not to hide the page for good.
constexpr int kLingerMs = 15'000;
constexpr int kRightMargin = 8;
}  // namespace

RetrievalProgressLabel::RetrievalProgressLabel(
    QWidget* parent, std::shared_ptr<const RetrievalProgressMeter> segments,
    std::shared_ptr<const RetrievalProgressMeter> expired)
    : QLabel(parent),
      segments_(std::move(segments)),
      expired_(std::move(expired)),
      poll_(new QTimer(this)),
      linger_(new QTimer(this)) {
    // It lies over the page: clicks go through to the page below.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setMargin(4);
    setStyleSheet(
        QStringLiteral("background: rgba(255, 255, 255, 225); color: #1f3a5f;"
                       "border: 1px solid #9db4cf; border-radius: 4px;"));
    hide();
    parent->installEventFilter(this);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, &RetrievalProgressLabel::refresh);
    linger_->setSingleShot(true);
    linger_->setInterval(kLingerMs);
    connect(linger_, &QTimer::timeout, this, &QWidget::hide);
}

bool RetrievalProgressLabel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        place();
    }
    return QLabel::eventFilter(watched, event);
}

void RetrievalProgressLabel::place() {
    // At the right end of the parent, growing to the left, centred in its height.
    const QWidget* parent = parentWidget();
    const QSize wanted = sizeHint();
    setGeometry(parent->width() - kRightMargin - wanted.width(),
                (parent->height() - wanted.height()) / 2, wanted.width(), wanted.height());
}

void RetrievalProgressLabel::follow() {
    linger_->stop();
    poll_->start();
    refresh();
}

void RetrievalProgressLabel::refresh() {
    const RetrievalProgress segments = segments_->snapshot();
    const RetrievalProgress expired = expired_->snapshot();
    QStringList lines;
    for (const auto& [what, progress] : {std::pair{"逾期", expired}, std::pair{"号段", segments}}) {
        const std::string caption = retrievalCaption(what, progress);
        if (!caption.empty()) {
            lines << QString::fromStdString(caption);
        }
    }
    if (lines.isEmpty()) {
        hide();
        poll_->stop();
        return;
    }
    setText(lines.join(QLatin1Char('\n')));
    place();
    raise();
    show();
    using State = RetrievalProgress::State;
    if (segments.state != State::Running && expired.state != State::Running) {
        poll_->stop();
        linger_->start();
    }
}

}  // namespace yhz
