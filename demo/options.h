#pragma once
// Command-line reading shared by the two server programs.

#include <optional>
#include <string>
#include <string_view>

namespace yhz::web {

// Decimal integer in [min, max], nothing else.
std::optional<long> parseNumber(std::string_view text, long min, long max);

// Blocks until SIGINT or SIGTERM arrives. Call blockStopSignals() before any
// thread starts so that only this wait receives them.
void blockStopSignals();
void waitForStopSignal();

}  // namespace yhz::web
