#pragma once
// A WindowAccess for tests: records every call in order as a readable line and
// keeps the state a real window would (edits, drop-down lists, the page, the
// log), answering message boxes from a queue.

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/window_access.h"
#include "text/encoding.h"

namespace yhz::test {

class RecordingWindow : public WindowAccess {
public:
    struct List {
        std::vector<std::string> items;
        int selection = -1;
    };

    // Answers for the next message boxes; Ok (or No) once the queue is empty.
    void queueAnswer(MessageAnswer answer) {
        const std::lock_guard lock(mutex_);
        answers_.push_back(answer);
    }

    MessageAnswer showMessage(const MessageRequest& request) override {
        const std::lock_guard lock(mutex_);
        messages.push_back(request);
        record("message " + localToUtf8(request.caption) + " " + localToUtf8(request.text));
        if (!answers_.empty()) {
            const MessageAnswer a = answers_.front();
            answers_.pop_front();
            return a;
        }
        return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    void setCaption(std::string_view control, const std::string& text) override {
        const std::lock_guard lock(mutex_);
        captions[std::string(control)] = text;
        record("caption " + std::string(control) + " " + localToUtf8(text));
    }
    void setEnabled(std::string_view control, bool isEnabled) override {
        const std::lock_guard lock(mutex_);
        enabled[std::string(control)] = isEnabled;
        record(std::string(isEnabled ? "enable " : "disable ") + std::string(control));
    }
    void setVisible(std::string_view control, bool isVisible) override {
        const std::lock_guard lock(mutex_);
        visible[std::string(control)] = isVisible;
        record(std::string(isVisible ? "show " : "hide ") + std::string(control));
    }
    std::string editText(std::string_view control) const override {
        const std::lock_guard lock(mutex_);
        const auto found = edits.find(std::string(control));
        return found == edits.end() ? std::string() : found->second;
    }
    void setEditText(std::string_view control, const std::string& text) override {
        const std::lock_guard lock(mutex_);
        edits[std::string(control)] = text;
        record("edit " + std::string(control) + " " + localToUtf8(text));
    }
    bool isChecked(std::string_view control) const override {
        const std::lock_guard lock(mutex_);
        const auto found = checks.find(std::string(control));
        return found != checks.end() && found->second;
    }
    int selection(std::string_view control) const override {
        const std::lock_guard lock(mutex_);
        const auto found = lists.find(std::string(control));
        return found == lists.end() ? -1 : found->second.selection;
    }
    void setSelection(std::string_view control, int index) override {
        const std::lock_guard lock(mutex_);
        List& list = lists[std::string(control)];
        list.selection = index >= 0 && index < static_cast<int>(list.items.size()) ? index : -1;
        record("select " + std::string(control) + " " + std::to_string(index));
    }
    void addItem(std::string_view control, const std::string& text) override {
        const std::lock_guard lock(mutex_);
        List& list = lists[std::string(control)];
        list.items.push_back(text);
        if (list.selection < 0) {
            list.selection = 0;
        }
        record("item " + std::string(control) + " " + localToUtf8(text));
    }
    int itemCount(std::string_view control) const override {
        const std::lock_guard lock(mutex_);
        const auto found = lists.find(std::string(control));
        return found == lists.end() ? 0 : static_cast<int>(found->second.items.size());
    }
    std::string itemText(std::string_view control, int index) const override {
        const std::lock_guard lock(mutex_);
        const auto found = lists.find(std::string(control));
        if (found == lists.end() || index < 0 ||
            index >= static_cast<int>(found->second.items.size())) {
            return {};
        }
        return found->second.items[static_cast<size_t>(index)];
    }
    int currentPage() const override {
        const std::lock_guard lock(mutex_);
        return page;
    }
    void setCurrentPage(int value) override {
        const std::lock_guard lock(mutex_);
        page = value;
        record("page " + std::to_string(value));
    }
    void logCleared() override {
        const std::lock_guard lock(mutex_);
        log.clear();
        record("log cleared");
    }
    void logAppended(const std::string& line) override {
        const std::lock_guard lock(mutex_);
        log += line;
        record("log " + localToUtf8(line.substr(0, line.size() >= 2 ? line.size() - 2 : 0)));
    }

    // Every call so far, one line each, texts in UTF-8.
    std::vector<std::string> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }
    // Locked reads, for tests that look while workers still write.
    std::string captionOf(const std::string& control) const {
        const std::lock_guard lock(mutex_);
        const auto found = captions.find(control);
        return found == captions.end() ? std::string() : found->second;
    }
    bool isEnabled(const std::string& control) const {
        const std::lock_guard lock(mutex_);
        const auto found = enabled.find(control);
        return found != enabled.end() && found->second;
    }
    std::vector<MessageRequest> messagesSoFar() const {
        const std::lock_guard lock(mutex_);
        return messages;
    }
    std::string logText() const {
        const std::lock_guard lock(mutex_);
        return log;
    }

    // Direct state, for arranging a test; lock-free, so touch it only while no
    // worker runs.
    std::map<std::string, std::string> captions;
    std::map<std::string, bool> enabled;
    std::map<std::string, bool> visible;
    std::map<std::string, std::string> edits;
    std::map<std::string, bool> checks;
    std::map<std::string, List> lists;
    std::vector<MessageRequest> messages;
    int page = 0;
    std::string log;

private:
    void record(std::string line) { calls_.push_back(std::move(line)); }

    mutable std::mutex mutex_;
    std::deque<MessageAnswer> answers_;
    std::vector<std::string> calls_;
};

}  // namespace yhz::test
