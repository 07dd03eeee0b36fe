#pragma once
// Command-line reading shared by the two server programs.

#include <chrono>
#include <functional>
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

// Runs `stop` (true: everything ended in order) and gives it `bound`. Past
// the bound, or when `stop` fails, the process ends at once with status 1:
// a stop signal ends a server whatever its clients or a stuck handler do.
// Returns only after an orderly stop.
void stopWithin(std::chrono::milliseconds bound, const std::function<bool()>& stop);

}  // namespace yhz::web
