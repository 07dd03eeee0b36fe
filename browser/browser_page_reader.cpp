#include "browser/browser_page_reader.h"

#include "browser/page_document.h"

namespace yhz {

std::optional<PageChoices> BrowserPageReader::readChoices() {
    PageDocument document;
    if (!document.attachToBrowser(view_.data())) {
        return std::nullopt;
    }
    return choicesOf(*document.document());
}

}  // namespace yhz
