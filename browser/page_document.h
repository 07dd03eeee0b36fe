#pragma once
// The document shown in a browser view, as the retrievals read it. Binding
// runs one script in the page that copies out its elements (and those of its
// same-origin frames); every lookup then answers from that copy. The script's
// answer is waited for on the GUI thread, at most kWaitBound, and only one
// such wait runs at a time: a click that arrives during it finds the
// document unreachable. Texts are GBK.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "retrieval/page_snapshot.h"

class QWebEngineView;

namespace yhz {

class PageDocument {
public:
    static constexpr std::chrono::milliseconds kWaitBound{1000};

    // Binds to the page shown in `view`. False when there is no view or
    // page, the page did not answer within the bound, or another wait is
    // running; the document is then empty.
    bool attachToBrowser(QWebEngineView* view);

    // The bound copy; nullptr before a successful attachToBrowser.
    const PageSnapshot* document() const { return snapshot_ ? &*snapshot_ : nullptr; }

    // -1 for "no element" throughout, as everything answers empty then.
    int findElement(std::string_view locator, std::string_view tagFilter = "*",
                    std::optional<int> occurrence = std::nullopt) const;
    std::string valueByLocator(std::string_view locator) const;
    int selectByLocator(std::string_view locator) const;
    int selectedIndex(int element) const;
    std::string optionValue(int element, std::string_view indexText) const;

    // True while a script answer is being waited for.
    static bool waiting();

private:
    std::optional<PageSnapshot> snapshot_;
};

}  // namespace yhz
