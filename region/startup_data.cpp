#include "region/startup_data.h"

#include "base/control_names.h"
#include "base/operation_log.h"
#include "base/window_access.h"
#include "json/script_json.h"
#include "region/region_catalog.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace yhz {
namespace {

// Full-width forms (GBK A3 xx) of the characters a number may hold.
char asciiOf(std::string_view ch) {
    if (ch.size() == 2 && static_cast<unsigned char>(ch[0]) == 0xA3) {
        const auto trail = static_cast<unsigned char>(ch[1]);
        if (trail >= 0xB0 && trail <= 0xB9) {
            return static_cast<char>('0' + (trail - 0xB0));
        }
        if (trail == 0xAB) {
            return '+';
        }
        if (trail == 0xAD) {
            return '-';
        }
    }
    if (ch == "\xA1\xA1") {
        return ' ';
    }
    return ch.size() == 1 ? ch[0] : '\x01';
}

}  // namespace

int relayLineCount(std::string_view reply) {
    // Characters one at a time, so that a full-width digit counts as one.
    std::string ascii;
    for (size_t at = 0; at < reply.size();) {
        const size_t width = static_cast<unsigned char>(reply[at]) >= 0x80 ? 2 : 1;
        ascii += asciiOf(reply.substr(at, width));
        at += width;
    }
    size_t at = 0;
    while (at < ascii.size() && (ascii[at] == ' ' || (ascii[at] >= '\t' && ascii[at] <= '\r'))) {
        ++at;
    }
    bool negative = false;
    if (at < ascii.size() && (ascii[at] == '+' || ascii[at] == '-')) {
        negative = ascii[at] == '-';
        ++at;
    }
    long value = 0;
    for (; at < ascii.size() && ascii[at] >= '0' && ascii[at] <= '9'; ++at) {
        value = std::min<long>(value * 10 + (ascii[at] - '0'), kMaxRelayLines);
    }
    return negative ? 0 : static_cast<int>(value);
}

std::string relayLineItem(int line) {
    return gbk("   线路[ ") + std::to_string(line) + " ]";
}

std::optional<std::string> relayAddressFrom(std::string_view serviceConfigJson) {
    ScriptJson reader;
    if (!reader.parse(std::string(serviceConfigJson))) {
        return std::nullopt;
    }
    return reader.getText("url1");
}

void runStartupData(const StartupInputs& in) {
    if (in.info) {
        if (auto relay = relayAddressFrom(in.info->serviceConfigJson)) {
            in.values.setRelayAddress(*relay);
        }
    }

    for (const std::string& region : builtInRegions()) {
        in.window.addItem(control::kRegionChoice, region);
    }
    in.window.setSelection(control::kRegionChoice, 0);
    in.values.setSiteList(builtInSites());

    in.log.appendLog(std::string(41, '-'), false);
    const std::string information =
        in.fetch ? textUpToZero(in.fetch(kInformationTextPath, in.stop)) : "";
    in.log.appendLog(information, false);
    in.log.appendLog(gbk("----实际以官方查询为准，数据仅供参考-----"), false);

    const int lines =
        relayLineCount(in.fetch ? textUpToZero(in.fetch(kRelayLinesPath, in.stop)) : "");
    for (int line = 1; line <= lines; ++line) {
        in.window.addItem(control::kRelayChoice, relayLineItem(line));
    }
    in.window.setSelection(control::kRelayChoice, 0);

    in.window.setCaption(control::kAnnouncement, in.info ? in.info->announcement : std::string());
}

}  // namespace yhz
