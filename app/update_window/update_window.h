#pragma once
// The update window: download progress of the new version, then the
// replacement and the start of the new program. It opens modally; when it
// closes, by itself or through its close button, the run ends.

#include <QDialog>
#include <chrono>
#include <memory>
#include <string>

#include "base/background_task.h"
#include "base/window_access.h"
#include "update/updater.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace yhz {

class UpdateWindow : public QDialog {
    Q_OBJECT
public:
    struct Setup {
        std::string programVersion;  // GBK
        UpdateRequest request;
        Updater::Options options;
    };

    // Starts the download at once; `messages` tells the user when the update
    // cannot be made.
    UpdateWindow(Setup setup, MessageBoxes& messages, QWidget* parent = nullptr);
    ~UpdateWindow() override;

    // The end of the run: the timer stops, the download or replacement is
    // asked to stop and joined within `bound`. Safe to call more than once.
    ShutdownReport shutdown(
        std::chrono::milliseconds bound = BackgroundTaskOwner::kDefaultShutdownBound);

    const Updater& updater() const { return *updater_; }

private slots:
    void onTick();

private:
    void build(const Setup& setup);
    void end(int result);

    MessageBoxes& messages_;
    std::unique_ptr<Updater> updater_;
    QTimer* timer_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    bool ending_ = false;
    // Declared last, so destroyed first: the task is joined while the
    // updater it works on is alive.
    std::unique_ptr<BackgroundTaskOwner> tasks_ = std::make_unique<BackgroundTaskOwner>();
};

}  // namespace yhz
