#include "browser/browser_view.h"

#include <QSslCertificate>
#include <QUrl>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>

#include "browser/browser_profile.h"
#include "net/demo_certificate.h"

namespace yhz {

BrowserView::BrowserView(QWidget* parent) : QWebEngineView(parent) {
    page_ = new QWebEnginePage(browserProfile(), this);
    // Decided while the signal is delivered: a deferred error would leave
    // the page waiting.
    connect(page_, &QWebEnginePage::certificateError, this, &BrowserView::onCertificateError,
            Qt::DirectConnection);
    setPage(page_);
    setUrl(QUrl(QStringLiteral("about:blank")));
}

BrowserView::~BrowserView() {
    // The page goes before the view that shows it.
    setPage(nullptr);
    delete page_;
}

void BrowserView::openAddress(std::string_view address) {
    setUrl(QUrl(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size()))));
}

bool BrowserView::acceptable(const QWebEngineCertificateError& error) {
    const QList<QSslCertificate> chain = error.certificateChain();
    if (!error.isOverridable() || chain.isEmpty()) {
        return false;
    }
    const QByteArray der = chain.first().toDer();
    const QByteArray host = error.url().host().toUtf8();
    return acceptDemoCertificate(
        std::string_view(der.constData(), static_cast<size_t>(der.size())),
        std::string_view(host.constData(), static_cast<size_t>(host.size())));
}

void BrowserView::onCertificateError(const QWebEngineCertificateError& error) {
    auto decided = error;
    if (acceptable(error)) {
        decided.acceptCertificate();
    } else {
        decided.rejectCertificate();
    }
}

}  // namespace yhz
