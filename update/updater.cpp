#include "update/updater.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "package_signing/digest.h"
#include "platform/files.h"
#include "text/encoding.h"
#include "update/program_start.h"
#include "update/replacement.h"

namespace yhz {
namespace {

bool totalUnknown(double total) {
    return std::fabs(total) <= 0.0000001;
}

long roundedPercent(double total, std::int64_t received) {
    return std::lround(static_cast<double>(received) / total * 100.0);
}

}  // namespace

std::string progressText(double total, std::int64_t received) {
    if (totalUnknown(total)) {
        return gbk("已完成：0%");
    }
    return gbk("已完成：") + std::to_string(roundedPercent(total, received)) + "%";
}

int progressPosition(double total, std::int64_t received) {
    if (totalUnknown(total)) {
        return 0;
    }
    return static_cast<int>(std::clamp(roundedPercent(total, received), 0L, 100L));
}

HttpLimits Updater::downloadLimits() {
    HttpLimits limits;
    limits.connectTimeout = std::chrono::seconds(15);
    limits.stallTimeout = std::chrono::seconds(30);
    limits.totalTimeout = std::chrono::hours(1);
    limits.maxBodyBytes = std::size_t{1024} * 1024 * 1024;
    return limits;
}

Updater::Updater(UpdateRequest request, Options options)
    : request_(std::move(request)), options_(std::move(options)) {
    if (!options_.start) {
        options_.start = [](const std::string& path, const std::string& confirmation,
                            std::stop_token stop) {
            return startConfirmedProgram(path, confirmation, kStartConfirmationBound, stop);
        };
    }
    paths_ = updatePaths(request_.programDirectory, request_.packageName, request_.latestVersion);
    if (!paths_) {
        phase_ = UpdatePhase::Refused;
        message_ = gbk("更新信息有误（安装包名称不可用），无法自动更新，软件没有改动。");
        detail_ = "the package name or the version cannot name a file";
    } else if (!platform::folderWritable(paths_->directory)) {
        phase_ = UpdatePhase::Refused;
        message_ =
            gbk("软件所在的文件夹不能写入，无法自动更新，软件没有改动。"
                "请用有写入权限的账户运行本软件，或手动安装新版本。");
        detail_ = "the program folder cannot be written to";
    }
}

bool Updater::start(BackgroundTaskOwner& tasks) {
    {
        const std::lock_guard lock(mutex_);
        if (phase_ != UpdatePhase::Downloading) {
            return false;
        }
    }
    if (!tasks.start("update", [this](std::stop_token stop) { run(stop); })) {
        fail(UpdatePhase::Failed, gbk("无法开始下载新版本，软件没有改动。"),
             "the download task did not start");
        return false;
    }
    return true;
}

UpdateProgress Updater::progress() const {
    UpdateProgress p;
    p.total = total_.load();
    p.received = received_.load();
    const std::lock_guard lock(mutex_);
    p.phase = phase_;
    p.message = message_;
    p.detail = detail_;
    return p;
}

void Updater::fail(UpdatePhase phase, std::string message, std::string detail) {
    const std::lock_guard lock(mutex_);
    phase_ = phase;
    message_ = std::move(message);
    detail_ = std::move(detail);
}

void Updater::run(std::stop_token stop) {
    const UpdatePaths& paths = *paths_;
    // A link left where the package goes is not followed; take it away.
    if (platform::fileKind(paths.package) == platform::FileKind::Link) {
        platform::removeFile(paths.package);
    }
    // Before the first byte: a crash from here on leaves a journal naming
    // the package, and a second start finds this update living.
    UpdateStaging staging(paths);
    if (!staging.ready()) {
        fail(UpdatePhase::Failed, gbk("无法开始下载新版本，软件没有改动。"),
             "no room for the update's journal in the program folder");
        return;
    }
    DownloadArgs args;
    args.stop = stop;
    args.onTotal = [this](std::int64_t total) { total_.store(static_cast<double>(total)); };
    args.onReceived = [this](std::int64_t received) { received_.store(received); };
    HttpLimits limits = options_.limits;
    if (request_.packageSize >= 0) {
        // Not a byte more than was signed for.
        limits.maxBodyBytes =
            std::min(limits.maxBodyBytes, static_cast<std::size_t>(request_.packageSize));
    }
    const DownloadResult download =
        HttpClient(limits).download(request_.packageAddress, paths.package, args);
    if (download.outcome == DownloadOutcome::Stopped) {
        staging.remove();
        return;
    }
    if (!download.complete()) {
        staging.remove();
        fail(UpdatePhase::Failed,
             gbk("下载新版本没有成功，软件没有改动。请检查网络后重新打开软件。"),
             "the download ended after " + std::to_string(download.received) + " of " +
                 std::to_string(download.announced) + " bytes, status " +
                 std::to_string(download.status));
        return;
    }
    const std::optional<FileDigest> digest = fileDigest(paths.package);
    if (download.received != request_.packageSize || !digest ||
        digest->sha256 != request_.packageSha256) {
        staging.remove();
        fail(UpdatePhase::Failed, gbk("下载的安装包与发布的信息不符，已丢弃，软件没有改动。"),
             "the package has " + std::to_string(download.received) + " bytes and SHA-256 " +
                 (digest ? digest->sha256 : std::string("(unreadable)")) + ", not " +
                 std::to_string(request_.packageSize) + " and " + request_.packageSha256);
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        phase_ = UpdatePhase::Replacing;
    }
    const ReplaceResult result = replaceAndRestart(paths, staging, request_.runningExecutable,
                                                   {options_.beforeStart, options_.start}, stop);
    switch (result.outcome) {
        case ReplaceOutcome::Restarted: {
            const std::lock_guard lock(mutex_);
            phase_ = UpdatePhase::Restarted;
            break;
        }
        case ReplaceOutcome::Stopped:
            break;
        case ReplaceOutcome::Refused:
        case ReplaceOutcome::RolledBack:
            if (result.versionMismatch && result.keptFolder.empty()) {
                // Taking it again would only start the same program again.
                fail(UpdatePhase::Failed,
                     gbk("安装包中的程序与发布的版本不符，已恢复原来的软件，本次不更新。"),
                     result.detail);
                break;
            }
            if (!result.keptFolder.empty()) {
                // Said as it is: not everything is back where it was.
                fail(UpdatePhase::Failed,
                     gbk("安装新版本没有成功，且未能把所有文件放回原处。没有放回的文件保存在：") +
                         utf8ToLocal(result.keptFolder) +
                         gbk("（其中的 backup 文件夹是您原来的文件）。"),
                     result.detail);
                break;
            }
            fail(
                UpdatePhase::Failed,
                gbk("安装新版本没有成功，原来的软件已保留。请重新打开软件再试，或手动安装新版本。"),
                result.detail);
            break;
    }
}

}  // namespace yhz
