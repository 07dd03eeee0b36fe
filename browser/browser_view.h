#pragma once
// The embedded browser of the first page.

#include <QWebEngineView>

namespace yhz {

class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    explicit BrowserView(QWidget* parent = nullptr);
};

}  // namespace yhz
