#include "retrieval/page_snapshot.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

#include "text/encoding.h"
#include "text/gbk_text.h"

namespace yhz {
namespace {

bool tagPasses(const PageElement& e, std::string_view lowerFilter) {
    return lowerFilter == "*" || e.tag == lowerFilter;
}

// A whole text of ASCII digits, with an optional sign.
std::optional<long> integerText(std::string_view text) {
    long value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) {
        return std::nullopt;
    }
    return value;
}

std::string gbkOf(const nlohmann::json& value) {
    return value.is_string() ? utf8ToLocal(value.get_ref<const std::string&>()) : std::string();
}

std::vector<std::pair<std::string, std::string>> pairsOf(const nlohmann::json& list,
                                                         bool lowerFirst, size_t limit) {
    std::vector<std::pair<std::string, std::string>> out;
    if (!list.is_array()) {
        return out;
    }
    out.reserve(std::min(list.size(), limit));
    for (const nlohmann::json& pair : list) {
        if (out.size() >= limit) {
            break;
        }
        if (pair.is_array() && pair.size() == 2) {
            std::string first = gbkOf(pair[0]);
            out.emplace_back(lowerFirst ? toLowerAscii(first) : std::move(first), gbkOf(pair[1]));
        }
    }
    return out;
}

bool matches(const PageElement& e, const Locator& locator) {
    const std::string* actual =
        locator.attribute == "class" ? &e.className : e.attribute(locator.attribute);
    if (actual == nullptr) {
        return false;
    }
    if (locator.kind == Locator::Kind::Contains) {
        return findText(*actual, locator.value, 1, Case::Insensitive) > 0;
    }
    return toLowerAscii(*actual) == toLowerAscii(locator.value);
}

}  // namespace

const std::string* PageElement::attribute(std::string_view lowerName) const {
    for (const auto& [name, text] : attributes) {
        if (name == lowerName) {
            return &text;
        }
    }
    return nullptr;
}

Locator parseLocator(std::string_view text) {
    Locator locator;
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        const std::optional<long> number = integerText(text);
        if (number && *number != 0) {
            locator.kind = Locator::Kind::Position;
            locator.position = *number;
        } else {
            locator.kind = Locator::Kind::Tag;
            locator.value = toLowerAscii(text);
        }
        return locator;
    }
    locator.attribute = toLowerAscii(text.substr(0, eq));
    std::string_view value = text.substr(eq + 1);
    if (value.size() >= 3 && value.back() == ']') {
        const size_t open = value.rfind('[');
        if (open != std::string_view::npos) {
            const std::string_view inside = value.substr(open + 1, value.size() - open - 2);
            const std::optional<long> n = integerText(inside);
            if (n && *n >= 0 && *n <= PageSnapshot::kMaxElements &&
                inside.find_first_not_of("0123456789") == std::string_view::npos) {
                locator.occurrence = static_cast<int>(*n);
                value = value.substr(0, open);
            }
        }
    }
    locator.value = std::string(value);
    if (locator.attribute == "id" || locator.attribute == "name") {
        locator.kind = Locator::Kind::IdOrName;
    } else if (locator.attribute == "class" || locator.attribute == "src" ||
               locator.attribute == "href") {
        locator.kind = Locator::Kind::Contains;
    } else if (!locator.attribute.empty() && locator.attribute.front() == '?') {
        locator.kind = Locator::Kind::Contains;
        locator.attribute.erase(0, 1);
    } else {
        locator.kind = Locator::Kind::Equals;
    }
    return locator;
}

std::optional<PageSnapshot> PageSnapshot::fromJson(std::string_view json) {
    const nlohmann::json root = nlohmann::json::parse(json, nullptr, false);
    if (!root.is_object() || !root.contains("e") || !root["e"].is_array()) {
        return std::nullopt;
    }
    std::vector<PageElement> elements;
    elements.reserve(std::min(root["e"].size(), static_cast<size_t>(kMaxElements)));
    for (const nlohmann::json& item : root["e"]) {
        if (elements.size() >= static_cast<size_t>(kMaxElements)) {
            break;
        }
        // [document, tag, [[name, value]...], className, value|null,
        //  (select only) selectedIndex, [[value, text]...]]
        if (!item.is_array() || item.size() < 5 || !item[0].is_number_integer()) {
            continue;
        }
        PageElement e;
        e.document = item[0].get<int>();
        e.tag = toLowerAscii(gbkOf(item[1]));
        // Id, name and type come on top of the other attributes.
        e.attributes = pairsOf(item[2], true, kMaxAttributes + 3);
        e.className = gbkOf(item[3]);
        if (item[4].is_string()) {
            e.value = gbkOf(item[4]);
        }
        if (item.size() >= 7 && item[5].is_number_integer()) {
            e.selectedIndex = item[5].get<int>();
            e.options = pairsOf(item[6], false, kMaxOptions);
        }
        elements.push_back(std::move(e));
    }
    return PageSnapshot(std::move(elements));
}

const PageElement* PageSnapshot::at(int element) const {
    return element >= 0 && element < static_cast<int>(elements_.size())
               ? &elements_[static_cast<size_t>(element)]
               : nullptr;
}

int PageSnapshot::findElement(std::string_view locatorText, std::string_view tagFilter,
                              std::optional<int> occurrence) const {
    const Locator locator = parseLocator(locatorText);
    const std::string filter = toLowerAscii(tagFilter.empty() ? "*" : tagFilter);
    const int index = occurrence.value_or(locator.occurrence.value_or(0));
    switch (locator.kind) {
        case Locator::Kind::Position: {
            long seen = 0;
            for (size_t i = 0; i < elements_.size(); ++i) {
                if (tagPasses(elements_[i], filter) && seen++ == locator.position) {
                    return static_cast<int>(i);
                }
            }
            return -1;
        }
        case Locator::Kind::Tag: {
            int seen = 0;
            for (size_t i = 0; i < elements_.size(); ++i) {
                if (elements_[i].tag == locator.value && seen++ == index) {
                    return static_cast<int>(i);
                }
            }
            return -1;
        }
        case Locator::Kind::IdOrName: {
            const int found = findIdOrName(locator, filter, index);
            if (found >= 0) {
                return found;
            }
            Locator plain = locator;
            plain.kind = Locator::Kind::Equals;
            return findMatching(plain, filter, index);
        }
        case Locator::Kind::Contains:
        case Locator::Kind::Equals:
            return findMatching(locator, filter, index);
    }
    return -1;
}

int PageSnapshot::findIdOrName(const Locator& locator, std::string_view tagFilter,
                               int occurrence) const {
    // Document after document, the first that has the name answers; the
    // occurrence counts within it.
    int document = -1;
    int seen = 0;
    for (size_t i = 0; i < elements_.size(); ++i) {
        const PageElement& e = elements_[i];
        if (!tagPasses(e, tagFilter)) {
            continue;
        }
        const std::string* id = e.attribute("id");
        const std::string* name = e.attribute("name");
        if ((id == nullptr || *id != locator.value) &&
            (name == nullptr || *name != locator.value)) {
            continue;
        }
        if (document >= 0 && e.document != document) {
            break;
        }
        document = e.document;
        if (seen++ == occurrence) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int PageSnapshot::findMatching(const Locator& locator, std::string_view tagFilter,
                               int occurrence) const {
    int seen = 0;
    for (size_t i = 0; i < elements_.size(); ++i) {
        if (tagPasses(elements_[i], tagFilter) && matches(elements_[i], locator) &&
            seen++ == occurrence) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string PageSnapshot::valueByLocator(std::string_view locator) const {
    const PageElement* e = at(findElement(locator));
    return e != nullptr && e->value ? *e->value : std::string();
}

int PageSnapshot::selectByLocator(std::string_view locator) const {
    return findElement(locator, "select");
}

int PageSnapshot::selectedIndex(int element) const {
    const PageElement* e = at(element);
    return e != nullptr && e->tag == "select" ? e->selectedIndex : -1;
}

std::string PageSnapshot::optionValue(int element, std::string_view indexText) const {
    const PageElement* e = at(element);
    if (e == nullptr) {
        return {};
    }
    if (const std::optional<long> k = integerText(indexText)) {
        const long position = *k - 1;
        return position >= 0 && position < static_cast<long>(e->options.size())
                   ? e->options[static_cast<size_t>(position)].first
                   : std::string();
    }
    for (const auto& [value, text] : e->options) {
        if (text == indexText) {
            return value;
        }
    }
    return {};
}

PageChoices choicesOf(const PageSnapshot& page) {
    auto chosen = [&page](std::string_view locator) {
        const int select = page.selectByLocator(locator);
        return page.optionValue(select, std::to_string(page.selectedIndex(select) + 1));
    };
    return {chosen("id=glbm"), chosen("id=hpzl"), page.valueByLocator("id=startTime"),
            page.valueByLocator("id=endTime")};
}

std::string_view snapshotScript() {
    // Runs in an isolated world: the page's own scripts cannot change what
    // it sees of the DOM functions. Frames of other origins throw on access
    // and are left out.
    static const std::string script =
        "(function () {\n  var maxElements = " + std::to_string(PageSnapshot::kMaxElements) +
        ", maxText = " + std::to_string(PageSnapshot::kMaxTextLength) +
        ", maxAttributes = " + std::to_string(PageSnapshot::kMaxAttributes) +
        ", maxOptions = " + std::to_string(PageSnapshot::kMaxOptions) +
        ", elementShare = " + std::to_string(PageSnapshot::kMaxElementText) +
        ", budget = " + std::to_string(PageSnapshot::kMaxPageText) + ";\n" +
        R"js(  var out = [], documents = 0, cut = false, share = 0;
  // Half a surrogate pair cannot be written as JSON that parses.
  var lone = /[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g;
  var keys = ['id', 'name', 'type'];
  function text(s) {
    s = s == null ? '' : String(s);
    var n = Math.min(s.length, maxText);
    if (n < s.length) {
      var last = s.charCodeAt(n - 1);
      if (last >= 0xd800 && last <= 0xdbff) n--;
      s = s.slice(0, n);
    }
    s = s.replace(lone, '\ufffd');
    share -= s.length;
    budget -= s.length;
    return s;
  }
  function walk(doc) {
    var d = documents++;
    var all = doc.getElementsByTagName('*');
    var frames = [];
    for (var i = 0; i < all.length; i++) {
      if (out.length >= maxElements || budget < 0) { cut = true; return; }
      var el = all[i];
      share = elementShare;
      var tag = text(String(el.tagName).toLowerCase());
      var attrs = [], j;
      for (j = 0; j < keys.length; j++) {
        if (el.hasAttribute(keys[j])) attrs.push([keys[j], text(el.getAttribute(keys[j]))]);
      }
      if (!el.hasAttribute('type') && typeof el.type === 'string' && el.type !== '') {
        attrs.push(['type', text(el.type)]);
      }
      var cls = typeof el.className === 'string' ? el.className : el.getAttribute('class');
      var rec = [d, tag, attrs, text(cls), typeof el.value === 'string' ? text(el.value) : null];
      if (tag === 'select') {
        var options = [];
        for (var k = 0; k < el.options.length && k < maxOptions && share > 0; k++) {
          options.push([text(el.options[k].value), text(el.options[k].text)]);
        }
        rec.push(el.selectedIndex, options);
      }
      var more = 0;
      for (j = 0; j < el.attributes.length && more < maxAttributes && share > 0; j++) {
        var name = String(el.attributes[j].name).toLowerCase();
        if (keys.indexOf(name) >= 0) continue;
        attrs.push([text(name), text(el.attributes[j].value)]);
        more++;
      }
      out.push(rec);
      if (tag === 'iframe' || tag === 'frame') frames.push(el);
    }
    for (var f = 0; f < frames.length && !cut; f++) {
      var sub = null;
      try { sub = frames[f].contentDocument; } catch (e) { sub = null; }
      if (sub && sub.documentElement) walk(sub);
    }
  }
  walk(document);
  return JSON.stringify({d: documents, e: out, cut: cut});
})())js";
    return script;
}

}  // namespace yhz
