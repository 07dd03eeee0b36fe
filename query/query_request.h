#pragma once
// One availability question to the relay: the form body for a plate and what
// the relay's answer means. Texts are GBK, as the plate list holds them.

#include <string>
#include <string_view>

namespace yhz {

// "02" for a plate of exactly 8 GBK bytes (province, letter, five more),
// otherwise "52".
std::string_view plateTypeCode(std::string_view plate);

// hphm, hpzl, id, Token, hphma and line, in that order. `lineSelection` is
// the 0-based selection of the relay line choice, -1 when none.
std::string queryBody(std::string_view plate, std::string_view userId, std::string_view token,
                      int lineSelection);

enum class RelayAnswer {
    Failed,     // empty body: no answer at all
    Available,  // "ok"
    Occupied,   // "已占用"
    Other,      // anything else, shown to the user as it came
};

// Byte for byte, case-sensitive, untrimmed.
RelayAnswer relayAnswer(std::string_view reply);

}  // namespace yhz
