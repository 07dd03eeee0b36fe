#include "app/instance_lock.h"

#include <QDir>
#include <QStandardPaths>

#include "app/qt_common/qt_text.h"
#include "base/program_values.h"

namespace yhz {

InstanceClaim InstanceLock::claim() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    lock_ = std::make_unique<QLockFile>(folder + QLatin1Char('/') + fromName(kInstanceName) +
                                        QStringLiteral(".lock"));
    lock_->setStaleLockTime(0);  // stale only when its owner is gone, never by age
    if (lock_->tryLock(0)) {
        return InstanceClaim::Acquired;
    }
    return lock_->error() == QLockFile::LockFailedError ? InstanceClaim::HeldByAnother
                                                        : InstanceClaim::Unavailable;
}

}  // namespace yhz
