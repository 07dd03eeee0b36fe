#pragma once
// One update run: the package is downloaded in a background task that then
// replaces the program and starts the new one. The update window polls
// progress() on its timer; nothing here touches a window.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "base/background_task.h"
#include "net/http_client.h"
#include "update/update_paths.h"

namespace yhz {

struct UpdateRequest {
    std::string latestVersion;      // GBK, from the service information
    std::string packageName;        // GBK
    std::string packageAddress;     // GBK
    std::string programDirectory;   // this system's file names
    std::string runningExecutable;  // the program file of this run, in that folder
    // What the signed offer says of the package; a download that differs
    // is thrown away before a byte of it is unpacked.
    std::int64_t packageSize = -1;
    std::string packageSha256;  // 64 lower-case hex digits
};

enum class UpdatePhase {
    Refused,      // could not begin; nothing was written
    Downloading,  // also before start()
    Replacing,
    Restarted,  // the new program runs: this run should end
    Failed,     // the download or the replacement failed; the folder is as it was
};

struct UpdateProgress {
    UpdatePhase phase = UpdatePhase::Downloading;
    double total = 0;  // bytes the package has, 0 until the download knows
    std::int64_t received = 0;
    std::string message;  // GBK, what the user is told for Refused and Failed
    std::string detail;   // for the program's error output
};

class Updater {
public:
    struct Options {
        HttpLimits limits = downloadLimits();
        // Runs on the task just before the new program starts.
        std::function<void()> beforeStart;
        // Starts the new program and waits for its confirmation;
        // startConfirmedProgram() when not set.
        std::function<bool(const std::string& path, const std::string& confirmation,
                           std::stop_token stop)>
            start;
    };

    // Checks at once what can refuse the update before anything is written:
    // names that would not make plain files in the program folder, and a
    // folder this user cannot write to.
    Updater(UpdateRequest request, Options options);
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    // Starts the download, and the replacement after it, as a task of
    // `tasks`; false when refused or the task did not start.
    bool start(BackgroundTaskOwner& tasks);

    UpdateProgress progress() const;
    const std::optional<UpdatePaths>& paths() const { return paths_; }

    // Bounds of the package download: a large package on a slow line must
    // not run into the bounds of an ordinary request.
    static HttpLimits downloadLimits();

private:
    void run(std::stop_token stop);
    void fail(UpdatePhase phase, std::string message, std::string detail);

    UpdateRequest request_;
    Options options_;
    std::optional<UpdatePaths> paths_;
    std::atomic<double> total_{0};
    std::atomic<std::int64_t> received_{0};
    mutable std::mutex mutex_;
    UpdatePhase phase_ = UpdatePhase::Downloading;  // under mutex_
    std::string message_;                           // under mutex_
    std::string detail_;                            // under mutex_
};

// What the progress label and the bar of the update window show for a
// total (0 while unknown) and the bytes received.
std::string progressText(double total, std::int64_t received);  // GBK
int progressPosition(double total, std::int64_t received);      // 0 to 100

}  // namespace yhz
