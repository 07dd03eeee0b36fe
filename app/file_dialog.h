#pragma once
// The main window's open and save dialogs, with a seam through which tests
// supply the next chosen file name without showing a dialog.

#include <QString>

class QWidget;

namespace yhz {

class FileDialog {
public:
    // The chosen file, or an empty text when the user cancelled.
    static QString getOpenFileName(QWidget* parent, const QString& filter);
    // `defaultSuffix` (".txt") completes a name typed without an extension.
    static QString getSaveFileName(QWidget* parent, const QString& filter,
                                   const QString& defaultSuffix);

    // The next dialog answers `name` at once; an empty name is a cancel.
    static void setNextFileName(const QString& name);
};

}  // namespace yhz
