#pragma once
// What the browser layer reads out of a page in one script run: every
// element of the page and of its same-origin frames, with the attributes and
// values the locators look at. Finding elements by locator text ("id=glbm",
// "class=btn", "type=text[1]", "2", "input") works on this copy, so it needs
// no browser and no waiting. Texts are GBK.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "retrieval/site_interface.h"

namespace yhz {

struct PageElement {
    int document = 0;  // 0 the page itself, then its frames' documents
    std::string tag;   // lower case
    // Names lower case: id, name and type first, then the others in the
    // element's order.
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string className;
    // The element's "value" property; nullopt when it has none (a div).
    std::optional<std::string> value;
    int selectedIndex = -1;  // select elements: the chosen option, -1 for none
    std::vector<std::pair<std::string, std::string>> options;  // value, text

    const std::string* attribute(std::string_view lowerName) const;
};

// A locator text read into its parts.
struct Locator {
    enum class Kind {
        IdOrName,  // "id=" or "name=": by id or name in each document
        Contains,  // "class=", "src=", "href=", "?attr=": substring, any case
        Equals,    // any other "attr=": equal, any case
        Position,  // a number other than 0: that element of the tag filter
        Tag,       // a word: an element of that tag
    };
    Kind kind = Kind::Tag;
    std::string attribute;  // lower case; "class" reads the class name
    std::string value;
    // From a trailing "[n]"; used only when the caller gives no index.
    std::optional<int> occurrence;
    long position = 0;
};

Locator parseLocator(std::string_view text);

class PageSnapshot {
public:
    // Beyond these the script stops collecting: a page that big is not a
    // site's form, and the result has to cross into the program.
    static constexpr int kMaxElements = 100000;
    static constexpr long kMaxPageText = 16000000;  // UTF-16 units of all texts
    // What one element brings at most, so that no single element, however
    // odd, can use up what the page may bring: its id, name, type, class
    // and value whole (each cut to kMaxTextLength), then its options and its
    // other attributes while its own share lasts.
    static constexpr int kMaxTextLength = 10000;  // UTF-16 units of one text
    static constexpr int kMaxAttributes = 100;
    static constexpr int kMaxOptions = 2000;
    static constexpr long kMaxElementText = 200000;  // UTF-16 units

    PageSnapshot() = default;
    explicit PageSnapshot(std::vector<PageElement> elements) : elements_(std::move(elements)) {}

    // The script's JSON result (UTF-8); nullopt when it is not one. Holds
    // no more elements, attributes or options than the script collects,
    // whatever the text says.
    static std::optional<PageSnapshot> fromJson(std::string_view json);

    const std::vector<PageElement>& elements() const { return elements_; }

    // The index of the element the locator finds among those of the tag
    // filter ("*" for all), at the occurrence index (0-based; the locator's
    // "[n]" when none is given); -1 when none.
    int findElement(std::string_view locator, std::string_view tagFilter = "*",
                    std::optional<int> occurrence = std::nullopt) const;
    // The value of the located element; "" when none is found or it has none.
    std::string valueByLocator(std::string_view locator) const;
    // findElement with the tag filter "select".
    int selectByLocator(std::string_view locator) const;
    // -1 for no element or one that is not a select element.
    int selectedIndex(int element) const;
    // The value of an option: for an integer k the option at position k - 1,
    // otherwise the option whose text equals the index text; "" for none.
    std::string optionValue(int element, std::string_view indexText) const;

private:
    const PageElement* at(int element) const;
    int findIdOrName(const Locator& locator, std::string_view tagFilter, int occurrence) const;
    int findMatching(const Locator& locator, std::string_view tagFilter, int occurrence) const;

    std::vector<PageElement> elements_;
};

// The four choices the retrievals read: the values of the selected options
// of "id=glbm" and "id=hpzl", the values of "id=startTime" and "id=endTime".
PageChoices choicesOf(const PageSnapshot& page);

// The script that makes the snapshot's JSON; run in the page, it returns it.
// Texts are cut on a character boundary and lone surrogates become U+FFFD,
// so that the JSON it returns always parses.
std::string_view snapshotScript();

}  // namespace yhz
