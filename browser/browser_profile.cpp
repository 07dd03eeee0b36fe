#include "browser/browser_profile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include "net/cookie_store.h"

namespace yhz {
namespace {

StoredCookie toStored(const QNetworkCookie& cookie) {
    StoredCookie out;
    out.name = cookie.name().toStdString();
    out.value = cookie.value().toStdString();
    // Chromium writes a host-only cookie's domain without a leading dot, as
    // the store expects.
    out.domain = cookie.domain().toStdString();
    out.path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString();
    out.secure = cookie.isSecure();
    out.httpOnly = cookie.isHttpOnly();
    out.expires = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
    return out;
}

void mirrorCookies(QWebEngineProfile* profile) {
    QWebEngineCookieStore* cookies = profile->cookieStore();
    // An overwrite arrives as a removal, then an addition.
    QObject::connect(
        cookies, &QWebEngineCookieStore::cookieAdded, profile,
        [](const QNetworkCookie& cookie) { CookieStore::browser().set(toStored(cookie)); });
    QObject::connect(cookies, &QWebEngineCookieStore::cookieRemoved, profile,
                     [](const QNetworkCookie& cookie) {
                         const StoredCookie c = toStored(cookie);
                         CookieStore::browser().remove(c.name, c.domain, c.path);
                     });
    QObject::connect(profile, &QObject::destroyed, [] { CookieStore::browser().clear(); });
    cookies->loadAllCookies();
}

}  // namespace

QWebEngineProfile* browserProfile() {
    static QWebEngineProfile* profile = [] {
        // No storage name: off the record. Owned by the application, so it
        // outlives every page made with it.
        auto* p = new QWebEngineProfile(QCoreApplication::instance());
        mirrorCookies(p);
        return p;
    }();
    return profile;
}

}  // namespace yhz
