#include "plates/expansion.h"

#include "base/control_names.h"
#include "base/operation_log.h"
#include "base/window_access.h"
#include "text/encoding.h"
#include "text/gbk_text.h"
#include "text/text_cut.h"

namespace yhz {
namespace {

constexpr int kQueryPage = 2;

bool containsAny(std::string_view digits, const std::vector<std::string>& rules) {
    for (const std::string& rule : rules) {
        if (digits.find(rule) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

// The log line at the end of a filter run: the plates listed, or why none.
std::string expansionLogLine(int listed, int checkedSegments) {
    if (listed > 0) {
        return gbk("筛选完毕！本次列出") + std::to_string(listed) + gbk("个号牌");
    }
    if (checkedSegments == 0) {
        return gbk("筛选完毕！未勾选投放号段，没有列出号牌");
    }
    return gbk("筛选完毕！勾选的") + std::to_string(checkedSegments) +
           gbk("个号段中没有号码符合包含、不包含和靓号条件");
}

}  // namespace

DigitRules DigitRules::parse(std::string_view includeText, std::string_view excludeText) {
    DigitRules rules;
    rules.include = splitText(includeText, ",");
    rules.exclude = splitText(excludeText, ",");
    return rules;
}

bool DigitRules::passes(std::string_view digits) const {
    if (containsAny(digits, exclude)) {
        return false;
    }
    if (!include.empty() && !containsAny(digits, include)) {
        return false;
    }
    return patterns.passes(digits);
}

SegmentStart SegmentStart::of(std::string_view segmentText) {
    SegmentStart start;
    start.text = textBefore(segmentText, " ~");
    const std::string& t = start.text;
    for (size_t at = 0; at < t.size(); ++start.characters) {
        const auto byte = static_cast<unsigned char>(t[at]);
        if (byte >= 0x81 && at + 1 < t.size()) {
            at += 2;
        } else if (byte == '\r' && at + 1 < t.size() && t[at + 1] == '\n') {
            at += 2;
        } else {
            if (byte >= '0' && byte <= '9') {
                start.digitOffsets.push_back(at);
                start.digits.push_back(t[at]);
            }
            ++at;
        }
    }
    return start;
}

std::string SegmentStart::placed(std::string_view value) const {
    std::string out = text;
    const size_t n = std::min(value.size(), digitOffsets.size());
    for (size_t k = 0; k < n; ++k) {
        out[digitOffsets[k]] = value[k];
    }
    return out;
}

void incrementDigits(std::string& digits) {
    for (size_t k = digits.size(); k > 0; --k) {
        char& d = digits[k - 1];
        if (d != '9') {
            ++d;
            return;
        }
        d = '0';
    }
    digits.insert(digits.begin(), '1');
}

std::string provincePrefix(const WindowAccess& window) {
    const int selected = window.selection(control::kRegionChoice);
    if (selected < 0) {
        return {};
    }
    const std::string item = window.itemText(control::kRegionChoice, selected);
    return textAfterLast(item, "-").substr(0, 2);
}

void runExpansion(WindowAccess& window, const SegmentStore& segments, PlateStore& plates,
                  std::stop_token stop, OperationLog* log) {
    DigitRules rules = DigitRules::parse(window.editText(control::kIncludeEdit),
                                         window.editText(control::kExcludeEdit));
    rules.patterns = NumberPatterns::read(window);
    const int count = segments.rowCount();
    int checked = 0;
    int listed = 0;
    for (int k = 0; k < count; ++k) {
        if (stop.stop_requested()) {
            return;
        }
        // The user may tick or untick rows while the run goes on; each row is
        // looked at when it is reached.
        const std::optional<SegmentRow> row = segments.row(k);
        if (!row || !row->checked) {
            continue;
        }
        ++checked;
        expandSegment(row->segment, rules, [&](std::string&& plate) {
            plates.appendNumbered(provincePrefix(window) + plate, row->releaseTime, 1);
            ++listed;
        });
    }
    if (log != nullptr) {
        log->appendLog(expansionLogLine(listed, checked));
    }
    window.setEnabled(control::kFilterButton, true);
    window.setCurrentPage(kQueryPage);
    window.showMessage(
        {gbk("筛选完毕！"), gbk("温馨提示："), MessageButtons::Ok, MessageIcon::Information});
}

}  // namespace yhz
