// Locator texts, tag filters and occurrence indices of any shape over a
// page copy with frames, selects, inputs and links: every answer is an
// element of the copy that passes the filter, or none.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "retrieval/page_snapshot.h"
#include "text/gbk_text.h"

namespace {

using yhz::fuzz::check;

const yhz::PageSnapshot& page() {
    static const yhz::PageSnapshot copy = *yhz::PageSnapshot::fromJson(
        R"({"d":2,"e":[[0,"html",[],"",null],[0,"title",[],"",null],)"
        R"([0,"select",[["id","glbm"],["name","glbm"]],"",)"
        R"("a",0,[["a","甲"],["b","乙"]]],)"
        R"([0,"select",[["name","glbm"]],"",null,1,[["x","X"],["y","Y"]]],)"
        R"([0,"input",[["id","t1"],["type","TEXT"],["title","标题"]],"",)"
        R"("typed"],)"
        R"([0,"button",[["id","b1"],["class","btn primary"]],"btn primary","go"],)"
        R"([0,"a",[["id","link"],["href","/Next/Page.html"]],"",null],)"
        R"([0,"iframe",[["src","/frame.html"]],"",null],)"
        R"([1,"input",[["id","inner"]],"","from the frame"],)"
        R"([1,"select",[["id","hpzl"]],"","52",1,[["02","小型"],["52","新能源"]]]],)"
        R"("cut":false})");
    return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The locator, a newline, the tag filter, a newline, then the
    // occurrence index as the first byte (none without it).
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t first = input.find('\n');
    const std::string_view locator = input.substr(0, first);
    std::string_view filter = "*";
    std::optional<int> occurrence;
    if (first != std::string_view::npos) {
        const std::string_view rest = input.substr(first + 1);
        const size_t second = rest.find('\n');
        filter = rest.substr(0, second);
        if (second != std::string_view::npos && second + 1 < rest.size()) {
            occurrence = static_cast<signed char>(rest[second + 1]);
        }
    }

    const yhz::Locator parsed = yhz::parseLocator(locator);
    check(parsed.kind != yhz::Locator::Kind::Position || parsed.position != 0);
    check(!parsed.occurrence ||
          (*parsed.occurrence >= 0 && *parsed.occurrence <= yhz::PageSnapshot::kMaxElements));
    check(parsed.attribute == yhz::toLowerAscii(parsed.attribute));

    const yhz::PageSnapshot& copy = page();
    const int count = static_cast<int>(copy.elements().size());
    const int found = copy.findElement(locator, filter, occurrence);
    check(found >= -1 && found < count);
    const std::string lowerFilter = yhz::toLowerAscii(filter.empty() ? "*" : filter);
    if (found >= 0 && parsed.kind != yhz::Locator::Kind::Tag && lowerFilter != "*") {
        check(copy.elements()[static_cast<size_t>(found)].tag == lowerFilter);
    }
    const int select = copy.selectByLocator(locator);
    check(select >= -1 && select < count);
    (void)copy.valueByLocator(locator);
    (void)copy.optionValue(select, filter);
    (void)copy.optionValue(found, std::to_string(copy.selectedIndex(select) + 1));
    return 0;
}
