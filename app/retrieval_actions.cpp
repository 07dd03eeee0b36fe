#include "app/retrieval_actions.h"

#include <QAbstractButton>
#include <QWidget>

#include "app/qt_common/qt_text.h"
#include "app/retrieval_progress_label.h"
#include "base/control_names.h"
#include "browser/browser_page_reader.h"
#include "browser/browser_view.h"

namespace yhz {

RetrievalActions::RetrievalActions(QWidget* window, BrowserView* browser, RetrievalPlace place)
    : QObject(window), browser_(browser), place_(std::move(place)) {
    setObjectName(QStringLiteral("retrievalActions"));
    const auto onClick = [this, window](std::string_view name, void (RetrievalActions::*slot)()) {
        if (auto* button = window->findChild<QAbstractButton*>(fromName(name))) {
            connect(button, &QAbstractButton::clicked, this, slot);
        }
    };
    onClick(control::kOpenRegionButton, &RetrievalActions::openRegion);
    onClick(control::kSegmentButton, &RetrievalActions::fetchSegments);
    onClick(control::kExpiredButton, &RetrievalActions::fetchExpired);
    progress_ = window->findChild<RetrievalProgressLabel*>(fromName(control::kRetrievalProgress));
}

void RetrievalActions::openRegion() {
    if (const std::optional<std::string> page = pressOpenRegion(place_)) {
        browser_->openAddress(*page);
    }
}

void RetrievalActions::fetchSegments() {
    BrowserPageReader page(browser_);
    if (pressSegmentButton(place_, page)) {
        followProgress();
    }
}

void RetrievalActions::fetchExpired() {
    BrowserPageReader page(browser_);
    if (pressExpiredButton(place_, page)) {
        followProgress();
    }
}

void RetrievalActions::followProgress() {
    if (progress_ != nullptr) {
        progress_->follow();
    }
}

}  // namespace yhz
