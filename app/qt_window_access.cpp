#include "app/qt_window_access.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QThread>

#include "app/message_box.h"
#include "app/qt_common/qt_text.h"
#include "base/control_names.h"

namespace yhz {
namespace {

std::string nameOf(const QObject* object) {
    return object->objectName().toStdString();
}

// A name the window does not know is a control that never changes: said
// loudly, and fatal in a debug build, where the program is tested.
void reportUnknown(std::string_view name) {
    qCritical("WindowAccess: the window has no control named \"%.*s\"",
              static_cast<int>(name.size()), name.data());
#ifndef NDEBUG
    qFatal("WindowAccess: unknown control name");
#endif
}

template <typename Map>
auto known(Map& map, std::string_view name) {
    const auto found = map.find(name);
    if (found == map.end()) {
        reportUnknown(name);
    }
    return found;
}

}  // namespace

QtWindowAccess::QtWindowAccess(QWidget* window) : window_(window) {
    for (auto* edit : window->findChildren<QLineEdit*>()) {
        if (!edit->objectName().isEmpty() && qobject_cast<QComboBox*>(edit->parent()) == nullptr) {
            edits_[nameOf(edit)] = toLocal(edit->text());
        }
    }
    for (auto* list : window->findChildren<QComboBox*>()) {
        ListMirror& mirror = lists_[nameOf(list)];
        for (int k = 0; k < list->count(); ++k) {
            mirror.items.push_back(toLocal(list->itemText(k)));
        }
        mirror.selection = list->currentIndex();
    }
    for (auto* action : window->findChildren<QAction*>()) {
        if (action->isCheckable() && !action->objectName().isEmpty()) {
            checks_[nameOf(action)] = action->isChecked();
        }
    }
    if (auto* tabs = window->findChild<QTabWidget*>()) {
        page_ = tabs->currentIndex();
    }
    mirrorUserChanges();
}

void QtWindowAccess::mirrorUserChanges() {
    for (auto* edit : window_->findChildren<QLineEdit*>()) {
        if (edits_.count(nameOf(edit)) == 0) {
            continue;
        }
        connect(edit, &QLineEdit::textChanged, this, [this, edit](const QString& text) {
            if (applying_) {
                return;
            }
            const std::lock_guard lock(mutex_);
            edits_[nameOf(edit)] = toLocal(text);
        });
    }
    for (auto* list : window_->findChildren<QComboBox*>()) {
        connect(list, &QComboBox::currentIndexChanged, this, [this, list](int index) {
            if (applying_) {
                return;
            }
            const std::lock_guard lock(mutex_);
            lists_[nameOf(list)].selection = index;
        });
    }
    for (auto* action : window_->findChildren<QAction*>()) {
        if (checks_.count(nameOf(action)) == 0) {
            continue;
        }
        connect(action, &QAction::toggled, this, [this, action](bool checked) {
            const std::lock_guard lock(mutex_);
            checks_[nameOf(action)] = checked;
        });
    }
    if (auto* tabs = window_->findChild<QTabWidget*>()) {
        connect(tabs, &QTabWidget::currentChanged, this, [this](int index) {
            const std::lock_guard lock(mutex_);
            page_ = index;
        });
    }
}

void QtWindowAccess::post(std::function<void()> work) {
    auto guarded = [this, work = std::move(work)] {
        if (window_.isNull() || closed()) {
            return;
        }
        applying_ = true;
        work();
        applying_ = false;
    };
    if (QThread::currentThread() == thread()) {
        guarded();
    } else {
        QMetaObject::invokeMethod(this, std::move(guarded), Qt::QueuedConnection);
    }
}

QWidget* QtWindowAccess::control(std::string_view name) const {
    if (window_.isNull()) {
        return nullptr;
    }
    if (name == nameOf(window_)) {
        return window_;
    }
    QWidget* widget = window_->findChild<QWidget*>(fromName(name));
    if (widget == nullptr) {
        reportUnknown(name);
    }
    return widget;
}

MessageAnswer QtWindowAccess::showMessage(const MessageRequest& request) {
    const MessageAnswer fallback =
        request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    if (QThread::currentThread() == thread()) {
        return closed() ? fallback : MessageBox::show(window_, request);
    }
    auto pending = std::make_shared<PendingAnswer>();
    pending->fallback = fallback;
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            return fallback;
        }
        waiting_.push_back(pending);
    }
    QMetaObject::invokeMethod(
        this,
        [this, pending, request] {
            const MessageAnswer answer =
                closed() ? pending->fallback : MessageBox::show(window_, request);
            const std::lock_guard lock(mutex_);
            if (!pending->answer) {
                pending->answer = answer;
            }
            answered_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    answered_.wait(lock, [&] { return pending->answer.has_value(); });
    std::erase(waiting_, pending);
    return *pending->answer;
}

void QtWindowAccess::close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    for (const auto& pending : waiting_) {
        if (!pending->answer) {
            // Nobody will answer now: the caller gets what closing the box
            // would have given.
            pending->answer = pending->fallback;
        }
    }
    answered_.notify_all();
}

bool QtWindowAccess::closed() const {
    const std::lock_guard lock(mutex_);
    return closed_;
}

void QtWindowAccess::setCaption(std::string_view controlName, const std::string& text) {
    post([this, name = std::string(controlName), caption = fromLocal(text)] {
        QWidget* widget = control(name);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setText(caption);
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->setText(caption);
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            group->setTitle(caption);
        } else if (widget != nullptr && widget->isWindow()) {
            widget->setWindowTitle(caption);
        }
    });
}

void QtWindowAccess::setEnabled(std::string_view controlName, bool enabled) {
    post([this, name = std::string(controlName), enabled] {
        if (QWidget* widget = control(name)) {
            widget->setEnabled(enabled);
        }
    });
}

void QtWindowAccess::setVisible(std::string_view controlName, bool visible) {
    post([this, name = std::string(controlName), visible] {
        if (QWidget* widget = control(name)) {
            widget->setVisible(visible);
        }
    });
}

bool QtWindowAccess::isChecked(std::string_view controlName) const {
    const std::lock_guard lock(mutex_);
    const auto found = known(checks_, controlName);
    return found != checks_.end() && found->second;
}

std::string QtWindowAccess::editText(std::string_view controlName) const {
    const std::lock_guard lock(mutex_);
    const auto found = known(edits_, controlName);
    return found == edits_.end() ? std::string() : found->second;
}

void QtWindowAccess::setEditText(std::string_view controlName, const std::string& text) {
    {
        const std::lock_guard lock(mutex_);
        const auto found = known(edits_, controlName);
        if (found != edits_.end()) {
            found->second = text;
        }
    }
    post([this, name = std::string(controlName), value = fromLocal(text)] {
        QWidget* widget = control(name);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            edit->setText(value);
        } else if (auto* pane = qobject_cast<QPlainTextEdit*>(widget)) {
            pane->setPlainText(value);
        }
    });
}

int QtWindowAccess::selection(std::string_view controlName) const {
    const std::lock_guard lock(mutex_);
    const auto found = known(lists_, controlName);
    return found == lists_.end() ? -1 : found->second.selection;
}

void QtWindowAccess::setSelection(std::string_view controlName, int index) {
    {
        const std::lock_guard lock(mutex_);
        const auto found = known(lists_, controlName);
        if (found == lists_.end()) {
            return;
        }
        const int count = static_cast<int>(found->second.items.size());
        found->second.selection = (index >= 0 && index < count) ? index : -1;
    }
    post([this, name = std::string(controlName), index] {
        if (auto* list = qobject_cast<QComboBox*>(control(name))) {
            list->setCurrentIndex(index);
        }
    });
}

void QtWindowAccess::addItem(std::string_view controlName, const std::string& text) {
    {
        const std::lock_guard lock(mutex_);
        const auto found = known(lists_, controlName);
        if (found == lists_.end()) {
            return;
        }
        found->second.items.push_back(text);
        // A drop-down list selects its first item by itself.
        if (found->second.selection < 0) {
            found->second.selection = 0;
        }
    }
    post([this, name = std::string(controlName), item = fromLocal(text)] {
        if (auto* list = qobject_cast<QComboBox*>(control(name))) {
            list->addItem(item);
        }
    });
}

int QtWindowAccess::itemCount(std::string_view controlName) const {
    const std::lock_guard lock(mutex_);
    const auto found = known(lists_, controlName);
    return found == lists_.end() ? 0 : static_cast<int>(found->second.items.size());
}

std::string QtWindowAccess::itemText(std::string_view controlName, int index) const {
    const std::lock_guard lock(mutex_);
    const auto found = known(lists_, controlName);
    if (found == lists_.end() || index < 0 ||
        index >= static_cast<int>(found->second.items.size())) {
        return {};
    }
    return found->second.items[static_cast<size_t>(index)];
}

int QtWindowAccess::currentPage() const {
    const std::lock_guard lock(mutex_);
    return page_;
}

void QtWindowAccess::setCurrentPage(int page) {
    {
        const std::lock_guard lock(mutex_);
        if (page >= 0 && page < control::kPageCount) {
            page_ = page;
        }
    }
    post([this, page] {
        if (auto* tabs = window_->findChild<QTabWidget*>()) {
            tabs->setCurrentIndex(page);
        }
    });
}

void QtWindowAccess::logCleared() {
    post([this] {
        if (auto* pane = window_->findChild<QPlainTextEdit*>(fromName(control::kLogPane))) {
            pane->clear();
        }
    });
}

void QtWindowAccess::logAppended(const std::string& line) {
    QString text = fromLocal(line);
    text.remove(QLatin1Char('\r'));
    post([this, text = std::move(text)] {
        auto* pane = window_->findChild<QPlainTextEdit*>(fromName(control::kLogPane));
        if (pane == nullptr) {
            return;
        }
        QTextCursor cursor = pane->textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text);
        pane->setTextCursor(cursor);
        pane->verticalScrollBar()->setValue(pane->verticalScrollBar()->maximum());
    });
}

}  // namespace yhz
