#pragma once
// The buttons of the page "号段采集": 按钮1 opens the chosen region's page in
// 互联网浏览器1, 按钮3 and 按钮2 start the segment and the expired-plate
// retrieval from what that page shows.

#include <QObject>

#include "retrieval/retrieval_buttons.h"

class QWidget;

namespace yhz {

class BrowserView;
class RetrievalProgressLabel;

class RetrievalActions final : public QObject {
    Q_OBJECT
public:
    RetrievalActions(QWidget* window, BrowserView* browser, RetrievalPlace place);

private:
    void openRegion();
    void fetchSegments();
    void fetchExpired();
    void followProgress();

    BrowserView* browser_;
    RetrievalProgressLabel* progress_ = nullptr;
    RetrievalPlace place_;
};

}  // namespace yhz
