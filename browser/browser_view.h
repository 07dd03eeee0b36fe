#pragma once
// The embedded browser of the page "号段采集": shows a regional site's
// self-selection page in the program's one browser profile. The demo build
// accepts the demo authority's certificates for the simulator's names and
// refuses every other certificate error.

#include <QWebEngineView>
#include <string_view>

class QWebEngineCertificateError;

namespace yhz {

class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    explicit BrowserView(QWidget* parent = nullptr);
    ~BrowserView() override;

    // Opens an address ("https://host:port/path").
    void openAddress(std::string_view address);

    // The decision on one certificate error; public for tests.
    static bool acceptable(const QWebEngineCertificateError& error);

private:
    void onCertificateError(const QWebEngineCertificateError& error);

    QWebEnginePage* page_ = nullptr;
};

}  // namespace yhz
