#include "app/file_dialog.h"

#include <QFileDialog>
#include <mutex>
#include <optional>

#include "app/qt_common/qt_text.h"
#include "base/control_names.h"

namespace yhz {
namespace {

std::mutex seamMutex;
std::optional<QString> nextName;

std::optional<QString> takeNextName() {
    const std::lock_guard lock(seamMutex);
    std::optional<QString> name = std::move(nextName);
    nextName.reset();
    return name;
}

QString run(QFileDialog& dialog) {
    // The common dialog's name, for whoever looks for it while it is open.
    dialog.setObjectName(fromName(control::kFileDialog));
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles().value(0);
}

}  // namespace

QString FileDialog::getOpenFileName(QWidget* parent, const QString& filter) {
    if (auto name = takeNextName()) {
        return *name;
    }
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return run(dialog);
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& filter,
                                    const QString& defaultSuffix) {
    if (auto name = takeNextName()) {
        return *name;
    }
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QString suffix = defaultSuffix;
    if (suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    return run(dialog);
}

void FileDialog::setNextFileName(const QString& name) {
    const std::lock_guard lock(seamMutex);
    nextName = name;
}

}  // namespace yhz
