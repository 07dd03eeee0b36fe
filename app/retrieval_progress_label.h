#pragma once
// The pages and rows of the segment and expired-plate retrievals so far,
// shown at the right end of its parent while a run goes on and for a while
// after it.
// It polls the runs' own counts, so it tells what the lists hold.

#include <QLabel>
#include <memory>

#include "retrieval/retrieval_progress.h"

class QTimer;

namespace yhz {

class RetrievalProgressLabel : public QLabel {
public:
    RetrievalProgressLabel(QWidget* parent, std::shared_ptr<const RetrievalProgressMeter> segments,
                           std::shared_ptr<const RetrievalProgressMeter> expired);

    // From the buttons: a run has just been started.
    void follow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void place();

    std::shared_ptr<const RetrievalProgressMeter> segments_;
    std::shared_ptr<const RetrievalProgressMeter> expired_;
    QTimer* poll_;
    QTimer* linger_;
};

}  // namespace yhz
