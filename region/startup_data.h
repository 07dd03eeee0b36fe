#pragma once
// The start-up data thread: fills the region choice, the site list, the relay
// address and lines, the information text and the announcement, once per run.

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "service_client/service_info.h"

namespace yhz {

class WindowAccess;
class OperationLog;
class StartupValues;

// GET of a path ("/GetText.php") on the information server: the body bytes,
// empty on failure or when `stop` is asked for.
using InformationFetch = std::function<std::string(std::string_view path, std::stop_token stop)>;

// The information server's two resources, both fetched without a query.
inline constexpr std::string_view kInformationTextPath = "/GetText.php";
inline constexpr std::string_view kRelayLinesPath = "/GetLine.php";

// More relay lines than this are never offered: the reply is a number from
// outside, and a list of a billion items would freeze the window.
inline constexpr int kMaxRelayLines = 99;

// The number of relay lines in a "/GetLine.php" reply: leading blanks skipped,
// full-width digits and signs read as ASCII, an optional sign, the leading
// digits; 0 without digits; clamped to 0..kMaxRelayLines.
int relayLineCount(std::string_view reply);
// "   线路[ 3 ]" in GBK.
std::string relayLineItem(int line);
// Member "url1" of the service configuration, as text; "" when the
// configuration is not JSON.
std::optional<std::string> relayAddressFrom(std::string_view serviceConfigJson);

struct StartupInputs {
    WindowAccess& window;
    OperationLog& log;
    StartupValues& values;
    std::optional<ServiceInfo> info;  // nullopt when the service was unreachable
    InformationFetch fetch;           // may be empty: no information server
    std::stop_token stop{};           // the program is ending: skip what is left
};

// Runs the steps in order on the calling thread; every step runs whatever the
// outcome of the one before.
void runStartupData(const StartupInputs& in);

}  // namespace yhz
