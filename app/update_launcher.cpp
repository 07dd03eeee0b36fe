#include "app/update_launcher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

#include "app/instance_lock.h"
#include "app/message_box.h"
#include "base/installation.h"
#include "base/program_values.h"

namespace yhz {

// The update window's message boxes, owned by it.
class UpdateWindowLauncher::OwnedMessages final : public MessageBoxes {
public:
    MessageAnswer showMessage(const MessageRequest& request) override {
        return MessageBox::show(owner, request);
    }
    QPointer<QWidget> owner;
};

UpdateWindowLauncher::UpdateWindowLauncher(InstanceLock& instance)
    : instance_(instance), messages_(std::make_unique<OwnedMessages>()) {}

UpdateWindowLauncher::~UpdateWindowLauncher() = default;

void UpdateWindowLauncher::runUpdate(const std::string& programVersion, const ServiceInfo& info,
                                     const SignedPackage& package) {
    UpdateWindow::Setup setup;
    setup.programVersion = programVersion;
    const std::string folder = programDirectory();
    setup.request = {
        info.latestVersion,
        info.packageName,
        info.packageAddress,
        folder,
        folder + "/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString(),
        package.size,
        package.sha256};
    // The new program would find this run's claim and refuse to start.
    setup.options.beforeStart = [this] { instance_.release(); };
    window_ = std::make_unique<UpdateWindow>(std::move(setup), *messages_);
    messages_->owner = window_.get();
    window_->exec();
}

bool UpdateWindowLauncher::canReplaceProgram() const {
    return installationOf(programDirectory()) == Installation::Portable;
}

std::unique_ptr<UpdateWindow> UpdateWindowLauncher::takeWindow() {
    return std::move(window_);
}

}  // namespace yhz
