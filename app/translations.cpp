#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace yhz {

bool loadChineseTranslations(QCoreApplication& app) {
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    // Dates and sizes in the file dialogs follow the default locale.
    QLocale::setDefault(chinese);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool base = false;
    for (const char* catalogue : {"qtbase", "qtwebengine"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(chinese, QString::fromLatin1(catalogue), QStringLiteral("_"),
                             folder)) {
            QCoreApplication::installTranslator(translator);
            base = base || QLatin1String(catalogue) == QLatin1String("qtbase");
        } else {
            delete translator;
        }
    }
    return base;
}

}  // namespace yhz
