#include "query/query_request.h"

#include "text/encoding.h"

namespace yhz {
namespace {

// "已占用" in GBK.
constexpr std::string_view kOccupied = "\xD2\xD1\xD5\xBC\xD3\xC3";

}  // namespace

std::string_view plateTypeCode(std::string_view plate) {
    return plate.size() == 8 ? "02" : "52";
}

std::string queryBody(std::string_view plate, std::string_view userId, std::string_view token,
                      int lineSelection) {
    std::string body;
    body.reserve(128);
    body += "hphm=";
    body += urlEncode(plate, true, true);
    body += "&hpzl=";
    body += plateTypeCode(plate);
    body += "&id=";
    body += userId;
    body += "&Token=";
    body += token;
    body += "&hphma=";
    // The province character and the office letter. A cut through a
    // character is sent as it falls: the relay reads the first two anyway.
    body += urlEncode(plate.substr(0, 3), true, true);
    body += "&line=";
    body += std::to_string(lineSelection < 0 ? 0 : lineSelection + 1);
    return body;
}

RelayAnswer relayAnswer(std::string_view reply) {
    if (reply.empty()) {
        return RelayAnswer::Failed;
    }
    if (reply == "ok") {
        return RelayAnswer::Available;
    }
    if (reply == kOccupied) {
        return RelayAnswer::Occupied;
    }
    return RelayAnswer::Other;
}

}  // namespace yhz
