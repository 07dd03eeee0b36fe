#include "support/demo_ca.h"

#include <cstdlib>
#include <string>

namespace yhz::testing {

int makeDemoCa(const std::filesystem::path& dir) {
    const std::string command =
        std::string(YHZ_MAKE_DEMO_CA) + " '" + dir.string() + "' > /dev/null";
    return std::system(command.c_str());
}

}  // namespace yhz::testing
