#include "retrieval/retrieval_progress.h"

namespace yhz {

void RetrievalProgressMeter::begin() {
    const std::lock_guard lock(mutex_);
    progress_ = {RetrievalProgress::State::Running, 0, 0, 0};
}

void RetrievalProgressMeter::pageTaken(long long rows, long long announced) {
    const std::lock_guard lock(mutex_);
    ++progress_.pages;
    progress_.rows += rows;
    if (announced > 0) {
        progress_.announced = announced;
    }
}

void RetrievalProgressMeter::end(RetrievalProgress::State how) {
    const std::lock_guard lock(mutex_);
    progress_.state = how;
}

RetrievalProgress RetrievalProgressMeter::snapshot() const {
    const std::lock_guard lock(mutex_);
    return progress_;
}

std::string retrievalCaption(std::string_view what, const RetrievalProgress& progress) {
    using State = RetrievalProgress::State;
    if (progress.state == State::Idle) {
        return {};
    }
    std::string caption(what);
    const std::string pages = std::to_string(progress.pages) + " 页";
    const std::string rows = std::to_string(progress.rows) + " 条";
    switch (progress.state) {
        case State::Running:
            caption += "：已取 " + pages + " " + rows;
            if (progress.announced > 0) {
                caption += " / 共 " + std::to_string(progress.announced) + " 条";
            }
            caption += "…";
            break;
        case State::Ended:
            caption +=
                progress.rows == 0 ? "：完毕，未取到数据" : "：完毕，共 " + pages + " " + rows;
            break;
        case State::EndedEarly:
            caption += "：提前结束，取到 " + pages + " " + rows;
            break;
        case State::Stopped:
            caption += "：已停止，取到 " + pages + " " + rows;
            break;
        case State::Idle:
            break;
    }
    return caption;
}

}  // namespace yhz
