#pragma once
// Modal message boxes with the program's fixed texts, and a seam through
// which tests answer the next one without showing it.

#include <QWidget>
#include <optional>

#include "base/window_access.h"

namespace yhz {

class MessageBox {
public:
    static MessageAnswer show(QWidget* owner, const MessageRequest& request);

    // The next show() answers `answer` at once instead of opening a dialog.
    static void setNextAnswer(MessageAnswer answer);
    // The request of the most recent show(), answered or not.
    static std::optional<MessageRequest> lastRequest();
};

// Message boxes before the main window exists: no owner.
class OwnerlessMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer showMessage(const MessageRequest& request) override {
        return MessageBox::show(nullptr, request);
    }
};

}  // namespace yhz
