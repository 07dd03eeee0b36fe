#include "browser/page_document.h"

#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <memory>

namespace yhz {
namespace {

bool waitRunning = false;  // GUI thread only

struct ScriptAnswer {
    std::optional<QString> json;
    QEventLoop* loop = nullptr;
};

}  // namespace

bool PageDocument::waiting() {
    return waitRunning;
}

bool PageDocument::attachToBrowser(QWebEngineView* view) {
    snapshot_.reset();
    QWebEnginePage* page = view == nullptr ? nullptr : view->page();
    if (page == nullptr || waitRunning) {
        return false;
    }
    // The answer may come after the wait has given up, or never: the
    // callback reaches the state only while this call still holds it.
    auto answer = std::make_shared<ScriptAnswer>();
    std::weak_ptr<ScriptAnswer> weak = answer;
    const std::string_view script = snapshotScript();
    page->runJavaScript(QString::fromUtf8(script.data(), static_cast<qsizetype>(script.size())),
                        QWebEngineScript::ApplicationWorld, [weak](const QVariant& result) {
                            if (auto state = weak.lock()) {
                                state->json = result.toString();
                                if (state->loop != nullptr) {
                                    state->loop->quit();
                                }
                            }
                        });
    if (!answer->json) {
        waitRunning = true;
        QEventLoop loop;
        answer->loop = &loop;
        QTimer::singleShot(kWaitBound, &loop, &QEventLoop::quit);
        // Clicks and keys wait until the answer is in; they then meet
        // buttons the handler may have disabled meanwhile.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        answer->loop = nullptr;
        waitRunning = false;
    }
    if (!answer->json) {
        return false;
    }
    const QByteArray utf8 = answer->json->toUtf8();
    snapshot_ = PageSnapshot::fromJson(
        std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    return snapshot_.has_value();
}

int PageDocument::findElement(std::string_view locator, std::string_view tagFilter,
                              std::optional<int> occurrence) const {
    return snapshot_ ? snapshot_->findElement(locator, tagFilter, occurrence) : -1;
}

std::string PageDocument::valueByLocator(std::string_view locator) const {
    return snapshot_ ? snapshot_->valueByLocator(locator) : std::string();
}

int PageDocument::selectByLocator(std::string_view locator) const {
    return snapshot_ ? snapshot_->selectByLocator(locator) : -1;
}

int PageDocument::selectedIndex(int element) const {
    return snapshot_ ? snapshot_->selectedIndex(element) : -1;
}

std::string PageDocument::optionValue(int element, std::string_view indexText) const {
    return snapshot_ ? snapshot_->optionValue(element, indexText) : std::string();
}

}  // namespace yhz
