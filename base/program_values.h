#pragma once
// Values that live for the whole run of the program.

#include <string>
#include <string_view>

#include "base/program_version.h"

namespace yhz {

// The name under which a running instance is known to the next one.
inline constexpr std::string_view kInstanceName = "云海舟";  // UTF-8, a platform name

// Directory holding the running executable, without a trailing separator.
std::string programDirectory();
// Where the program keeps its files: programDirectory() + "/data" for a
// portable program, the XDG data folder's yunhaizhou/data for an installed
// one (base/installation.h).
std::string dataDirectory();
// Creates `path` with every missing parent; the outcome is not reported.
void ensureDirectory(const std::string& path);

// Gives unused memory back to the system; cheap enough to run every few seconds.
void trimWorkingSet();

}  // namespace yhz
