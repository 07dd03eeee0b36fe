// The page copy read from any text, as if the page's script had answered
// it, and the lookups the retrievals make on it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "retrieval/page_snapshot.h"

using yhz::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    const std::optional<yhz::PageSnapshot> page = yhz::PageSnapshot::fromJson(json);
    if (!page) {
        return 0;
    }
    const auto& elements = page->elements();
    check(elements.size() <= static_cast<size_t>(yhz::PageSnapshot::kMaxElements));
    for (const yhz::PageElement& e : elements) {
        check(e.attributes.size() <= static_cast<size_t>(yhz::PageSnapshot::kMaxAttributes) + 3);
        check(e.options.size() <= static_cast<size_t>(yhz::PageSnapshot::kMaxOptions));
    }
    (void)yhz::choicesOf(*page);
    const int count = static_cast<int>(elements.size());
    for (const std::string_view locator :
         {"id=glbm", "name=hpzl[1]", "class=btn", "?title=a", "type=text", "2", "0", "select"}) {
        const int found = page->findElement(locator);
        check(found >= -1 && found < count);
        (void)page->valueByLocator(locator);
        const int select = page->selectByLocator(locator);
        check(select == -1 || elements[static_cast<size_t>(select)].tag == "select" ||
              locator.find('=') == std::string_view::npos);
        const int chosen = page->selectedIndex(select);
        (void)page->optionValue(select, std::to_string(chosen + 1));
        (void)page->optionValue(select, "A");
        (void)page->optionValue(found, "-1");
    }
    return 0;
}
