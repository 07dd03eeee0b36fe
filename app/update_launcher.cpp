#include "app/update_launcher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <cstdio>

#include "app/instance_lock.h"
#include "app/message_box.h"
#include "base/installation.h"
#include "base/program_values.h"
#include "text/encoding.h"
#include "update/program_start.h"
#include "update/update_recovery.h"

namespace yhz {

// The update window's message boxes, owned by it.
class UpdateWindowLauncher::OwnedMessages final : public MessageBoxes {
public:
    MessageAnswer showMessage(const MessageRequest& request) override {
        return MessageBox::show(owner, request);
    }
    QPointer<QWidget> owner;
};

UpdateWindowLauncher::UpdateWindowLauncher(InstanceLock& instance, std::string program,
                                           const std::vector<std::string>& arguments)
    : instance_(instance),
      program_(std::move(program)),
      messages_(std::make_unique<OwnedMessages>()) {
    for (const std::string& argument : arguments) {
        if (argument.rfind(kConfirmUpdateArgument, 0) == 0) {
            handedOver_ = argument.substr(kConfirmUpdateArgument.size());
        }
    }
}

UpdateStartCheck UpdateWindowLauncher::settleEarlierUpdates() {
    const SettledUpdates settled = yhz::settleEarlierUpdates(
        programDirectory(), program_, std::string(kProgramVersion), handedOver_);
    const RecoveryReport& report = settled.recovery;
    if (report.finished + report.undone > 0) {
        std::fprintf(stderr, "yunhaizhou: earlier updates finished %d, undone %d\n",
                     report.finished, report.undone);
    }
    for (const std::string& refused : report.refused) {
        std::fprintf(stderr,
                     "yunhaizhou: the journal in %s is none this program wrote; left alone\n",
                     refused.c_str());
    }
    switch (settled.state) {
        case EarlierUpdate::RunsElsewhere:
            return UpdateStartCheck::SecondInstance;
        case EarlierUpdate::NotThisVersion:
        case EarlierUpdate::Unconfirmed:
            return UpdateStartCheck::End;
        case EarlierUpdate::None:
        case EarlierUpdate::Confirmed:
            break;
    }
    // Said only now: this run's own update is confirmed before anything
    // waits for the user.
    OwnerlessMessageBoxes messages;
    for (const std::string& kept : report.kept) {
        messages.showMessage(
            {gbk("上次更新没有完成，且未能把所有文件放回原处。没有放回的文件保存在：") +
                 utf8ToLocal(kept) + gbk("（其中的 backup 文件夹是您原来的文件）。"),
             gbk("温馨提示："), MessageButtons::Ok, MessageIcon::Warning});
    }
    return UpdateStartCheck::Continue;
}

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
