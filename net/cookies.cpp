#include "net/cookies.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "net/cookie_store.h"
#include "text/gbk_text.h"
#include "text/text_cut.h"

namespace yhz {
namespace {

constexpr std::string_view kDeletedMark = "=deleted";

std::string removeSpaces(std::string_view text) {
    return replaceAll(replaceAll(text, " ", ""), "\xA1\xA1", "");
}

// Every occurrence of `marker`, compared case-insensitively, removed.
std::string removeInsensitive(std::string_view text, std::string_view marker) {
    std::string out;
    long from = 1;
    for (;;) {
        const long at = findText(text, marker, from, Case::Insensitive);
        if (at < 1) {
            break;
        }
        out.append(text.substr(static_cast<size_t>(from - 1), static_cast<size_t>(at - from)));
        from = at + static_cast<long>(marker.size());
    }
    if (static_cast<size_t>(from - 1) < text.size()) {
        out.append(text.substr(static_cast<size_t>(from - 1)));
    }
    return out;
}

std::string itemName(std::string_view item) {
    const long eq = findText(item, "=");
    return trimSpaces(eq > 0 ? item.substr(0, static_cast<size_t>(eq - 1)) : item);
}

bool endsWithDeleted(std::string_view item) {
    return item.size() >= kDeletedMark.size() &&
           item.substr(item.size() - kDeletedMark.size()) == kDeletedMark;
}

void dropLastTwo(std::string& text) {
    text.resize(text.size() - std::min<size_t>(2, text.size()));
}

}  // namespace

CookieJar collectSetCookies(std::string_view headerText) {
    CookieJar result;
    for (const std::string& line : splitText(headerText, "\r\n")) {
        if (textBefore(line, ": ") != "Set-Cookie") {
            continue;
        }
        std::string item = findText(line, ";") > 0 ? textBetween(line, "Set-Cookie:", ";")
                                                   : removeInsensitive(line, "Set-Cookie:");
        result += trimSpaces(item);
        result += "; ";
    }
    dropLastTwo(result);
    return result;
}

CookieJar mergeCookies(CookieJar& older, CookieJar& newer) {
    older = removeSpaces(older);
    newer = removeSpaces(newer);

    std::vector<std::string> working = splitText(newer, ";");
    std::unordered_set<std::string> names;
    for (const std::string& piece : working) {
        names.insert(itemName(piece));
    }
    for (std::string& piece : splitText(older, ";")) {
        if (names.insert(itemName(piece)).second) {
            working.push_back(std::move(piece));
        }
    }

    std::string joined;
    for (const std::string& piece : working) {
        if (!endsWithDeleted(piece)) {
            joined += piece;
            joined += "; ";
        }
    }
    dropLastTwo(joined);

    CookieJar result;
    std::unordered_set<std::string> seen;
    bool first = true;
    for (std::string& item : splitText(joined, "; ")) {
        if (!seen.insert(item).second) {
            continue;
        }
        if (!first) {
            result += "; ";
        }
        first = false;
        result += item;
    }
    older = result;
    return result;
}

CookieJar browserCookies(std::string_view address) {
    std::string url(address);
    if (findText(url, "://") < 1) {
        url.insert(0, "http://");
    }
    if (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    // The store is read twice, as the script-visible cookies and as all
    // cookies; the merge puts the complete set first and drops repeats.
    const CookieStore& store = CookieStore::browser();
    CookieJar visible = store.cookiesFor(url, CookieStore::HttpOnly::Exclude);
    CookieJar all = store.cookiesFor(url, CookieStore::HttpOnly::Include);
    return mergeCookies(visible, all);
}

}  // namespace yhz
