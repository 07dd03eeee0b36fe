#include "browser/browser_view.h"

#include <QUrl>

namespace yhz {

BrowserView::BrowserView(QWidget* parent) : QWebEngineView(parent) {
    setUrl(QUrl(QStringLiteral("about:blank")));
}

}  // namespace yhz
