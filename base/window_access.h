#pragma once
// How the GUI-free code reaches the main window. Every call may come from any
// thread. Reads answer from values the window mirrors, so they never wait for
// the GUI thread; writes are applied in the order they were made; a message
// box blocks the calling thread until the user has answered.
//
// Controls are named by their object names (UTF-8, as in the source); every
// text that goes through this interface is GBK.

#include <string>
#include <string_view>

namespace yhz {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Information, Warning, Critical, Question };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    std::string text;     // GBK
    std::string caption;  // GBK
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer showMessage(const MessageRequest& request) = 0;
};

class WindowAccess : public MessageBoxes {
public:
    // Label, button, group box or window caption.
    virtual void setCaption(std::string_view control, const std::string& text) = 0;
    virtual void setEnabled(std::string_view control, bool enabled) = 0;
    virtual void setVisible(std::string_view control, bool visible) = 0;

    // Single- and multi-line edits.
    virtual std::string editText(std::string_view control) const = 0;
    virtual void setEditText(std::string_view control, const std::string& text) = 0;

    // Check boxes and checkable menu entries; false for any other control.
    virtual bool isChecked(std::string_view /*control*/) const { return false; }

    // Drop-down lists: 0-based selection, -1 when nothing is selected.
    virtual int selection(std::string_view control) const = 0;
    virtual void setSelection(std::string_view control, int index) = 0;
    virtual void addItem(std::string_view control, const std::string& text) = 0;
    virtual int itemCount(std::string_view control) const = 0;
    virtual std::string itemText(std::string_view control, int index) const = 0;

    // The tab control's current page, 0-based.
    virtual int currentPage() const = 0;
    virtual void setCurrentPage(int page) = 0;

    // The operation log pane: the log's own content is kept by OperationLog;
    // the pane only shows it.
    virtual void logCleared() = 0;
    virtual void logAppended(const std::string& line) = 0;
};

}  // namespace yhz
