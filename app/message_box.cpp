#include "app/message_box.h"

#include <QMessageBox>
#include <mutex>

#include "app/qt_common/qt_text.h"

namespace yhz {
namespace {

std::mutex seamMutex;
std::optional<MessageAnswer> nextAnswer;
std::optional<MessageRequest> last;

QMessageBox::Icon toQt(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MessageAnswer MessageBox::show(QWidget* owner, const MessageRequest& request) {
    {
        const std::lock_guard lock(seamMutex);
        last = request;
        if (nextAnswer) {
            const MessageAnswer answer = *nextAnswer;
            nextAnswer.reset();
            return answer;
        }
    }
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    QMessageBox box(toQt(request.icon), fromLocal(request.caption), fromLocal(request.text),
                    yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    const int chosen = box.exec();
    if (!yesNo) {
        return MessageAnswer::Ok;
    }
    return chosen == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

void MessageBox::setNextAnswer(MessageAnswer answer) {
    const std::lock_guard lock(seamMutex);
    nextAnswer = answer;
}

std::optional<MessageRequest> MessageBox::lastRequest() {
    const std::lock_guard lock(seamMutex);
    return last;
}

}  // namespace yhz
