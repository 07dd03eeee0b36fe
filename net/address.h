#pragma once
// Splitting a web address into the pieces a request needs.

#include <string>
#include <string_view>

namespace yhz {

// Host name, lower-cased; with `keepPort` the ":port" after it stays on.
std::string addressHost(std::string_view address, bool keepPort = false);
// Port to connect to: the explicit one, else 443 for https and 80 otherwise.
int addressPort(std::string_view address);
// Request path with query and fragment, case unchanged; "/" when there is none.
std::string addressPath(std::string_view address);

}  // namespace yhz
