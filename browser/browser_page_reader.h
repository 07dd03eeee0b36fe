#pragma once
// The retrievals' page reader over the browser view: one PageDocument bound
// for each reading.

#include <QPointer>
#include <QWebEngineView>

#include "retrieval/page_reader.h"

namespace yhz {

class BrowserPageReader final : public PageReader {
public:
    explicit BrowserPageReader(QWebEngineView* view) : view_(view) {}
    std::optional<PageChoices> readChoices() override;

private:
    QPointer<QWebEngineView> view_;
};

}  // namespace yhz
