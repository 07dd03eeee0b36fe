#pragma once
// Expanding ticked segments into candidate plates: 100 consecutive numbers
// from each segment's start, kept when their digits pass the include and
// exclude rules, placed into the start's own pattern of letters and digits.

#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "plates/number_patterns.h"
#include "plates/plate_store.h"
#include "plates/segment_store.h"

namespace yhz {

class OperationLog;
class WindowAccess;

inline constexpr int kCandidatesPerSegment = 100;

struct DigitRules {
    std::vector<std::string> include;  // empty: every candidate qualifies
    std::vector<std::string> exclude;
    NumberPatterns patterns;  // none chosen unless set

    // Pieces between commas, exactly as typed; an empty piece is a rule that
    // occurs everywhere, except one after a final comma, which is dropped.
    static DigitRules parse(std::string_view includeText, std::string_view excludeText);

    bool passes(std::string_view digits) const;
};

// The part of a segment text that expansion works on.
struct SegmentStart {
    std::string text;                  // bytes before the first " ~"
    std::vector<size_t> digitOffsets;  // byte offset of each one-digit character
    std::string digits;                // those digits, in order
    size_t characters = 0;             // a lead byte 0x81+ and its follower, or CR LF, is one

    // Empty `text` when the segment has no " ~".
    static SegmentStart of(std::string_view segmentText);
    // The start with the first digitOffsets.size() digits of `value` placed.
    std::string placed(std::string_view value) const;
};

// Calls emit(plate without province) for each passing candidate of one
// segment, in rising order. A start of fewer than 6 characters yields
// nothing; so does one without any digit, whose 100 candidates would all be
// the start itself.
template <typename Emit>
void expandSegment(std::string_view segmentText, const DigitRules& rules, Emit&& emit);

// The province character of the region selected in 组合框1: the first two
// bytes after the last "-" of its item text; empty without a selection or "-".
std::string provincePrefix(const WindowAccess& window);

// Reads the rules from 编辑框1 and 编辑框2 and the nice-number choices, appends the plates of every
// checked segment to `plates`, writes how many it listed to `log` (when
// given), then enables 超级按钮_筛选号牌, turns to the page "查号" and says
// "筛选完毕！". Runs on the calling thread; a stop ends it between segments,
// without the closing steps.
void runExpansion(WindowAccess& window, const SegmentStore& segments, PlateStore& plates,
                  std::stop_token stop = {}, OperationLog* log = nullptr);

// One decimal step on a digit text: "0999" -> "1000", "99" -> "100".
void incrementDigits(std::string& digits);

template <typename Emit>
void expandSegment(std::string_view segmentText, const DigitRules& rules, Emit&& emit) {
    const SegmentStart start = SegmentStart::of(segmentText);
    if (start.characters < 6 || start.digits.empty()) {
        return;
    }
    std::string value = start.digits;
    for (int j = 0; j < kCandidatesPerSegment; ++j) {
        if (j > 0) {
            incrementDigits(value);
        }
        if (rules.passes(value)) {
            emit(start.placed(value));
        }
    }
}

}  // namespace yhz
