#include "retrieval/site_interface.h"

#include <charconv>

namespace yhz {

std::string segmentForm(const PageChoices& choices) {
    std::string form;
    form.reserve(48 + choices.glbm.size() + choices.hpzl.size() + choices.startTime.size() +
                 choices.endTime.size());
    form += "&glbm=";
    form += choices.glbm;
    form += "&hpzl=";
    form += choices.hpzl;
    form += "&startTime=";
    form += choices.startTime;
    form += "&endTime=";
    form += choices.endTime;
    return form;
}

std::string expiredForm(std::string_view glbm, std::string_view hpzl) {
    std::string form = "&glbm=";
    form += glbm;
    form += "&hpzl=";
    form += hpzl;
    return form;
}

std::string pageBody(long page, std::string_view form) {
    std::string body = "page=" + std::to_string(page);
    body += form;
    return body;
}

long long leadingInteger(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    // Out of range means a number no site sends: count it as none.
    return error == std::errc() ? value : 0;
}

}  // namespace yhz
