#pragma once
// WindowAccess over the real main window. Reads answer from mirrors kept
// under a lock, so a worker never waits for the GUI thread to read an edit or
// a selection; writes update the mirror at once and reach the widgets in
// order through queued calls; a message box from a worker blocks that worker
// until the user has answered, or until close() lets it go.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "base/window_access.h"

namespace yhz {

class QtWindowAccess final : public QObject, public WindowAccess {
    Q_OBJECT
public:
    explicit QtWindowAccess(QWidget* window);

    MessageAnswer showMessage(const MessageRequest& request) override;
    void setCaption(std::string_view control, const std::string& text) override;
    void setEnabled(std::string_view control, bool enabled) override;
    void setVisible(std::string_view control, bool visible) override;
    std::string editText(std::string_view control) const override;
    void setEditText(std::string_view control, const std::string& text) override;
    bool isChecked(std::string_view control) const override;
    int selection(std::string_view control) const override;
    void setSelection(std::string_view control, int index) override;
    void addItem(std::string_view control, const std::string& text) override;
    int itemCount(std::string_view control) const override;
    std::string itemText(std::string_view control, int index) const override;
    int currentPage() const override;
    void setCurrentPage(int page) override;
    void logCleared() override;
    void logAppended(const std::string& line) override;

    // The program is ending: writes are dropped from now on, and every
    // worker waiting for a message box, or about to ask one, gets the
    // default answer (OK, or No for a question) at once instead of waiting
    // for a GUI thread that no longer runs its loop.
    void close();
    bool closed() const;

private:
    struct PendingAnswer {
        MessageAnswer fallback = MessageAnswer::Ok;
        std::optional<MessageAnswer> answer;
    };
    struct ListMirror {
        std::vector<std::string> items;
        int selection = -1;
    };

    // Runs `work` on the GUI thread: at once when already there, queued otherwise.
    void post(std::function<void()> work);
    QWidget* control(std::string_view name) const;
    void mirrorUserChanges();

    QPointer<QWidget> window_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string, std::less<>> edits_;
    std::map<std::string, ListMirror, std::less<>> lists_;
    std::map<std::string, bool, std::less<>> checks_;  // named checkable menu entries
    int page_ = 0;
    bool closed_ = false;
    std::vector<std::shared_ptr<PendingAnswer>> waiting_;  // under mutex_
    std::condition_variable answered_;
    bool applying_ = false;  // GUI thread only: a change made through this interface
};

}  // namespace yhz
