// Runs one replacement of the program folder given and never lets it end:
// its start step makes the new program's confirmation when asked to, and
// then waits for good. The test kills this process there, as a crash or a
// power loss would.
//
//   interrupted_update FOLDER RUNNING-PROGRAM PACKAGE-NAME VERSION confirm|hang

#include <unistd.h>

#include <fstream>
#include <string>

#include "update/replacement.h"
#include "update/update_paths.h"

int main(int argc, char* argv[]) {
    if (argc != 6) {
        return 2;
    }
    const auto paths = yhz::updatePaths(argv[1], argv[3], argv[4]);
    if (!paths) {
        return 2;
    }
    const bool confirm = std::string(argv[5]) == "confirm";
    yhz::ReplaceSteps steps;
    steps.start = [confirm](const std::string&, const std::string& confirmation, std::stop_token) {
        if (confirm) {
            std::ofstream{confirmation};
        }
        for (;;) {
            ::pause();
        }
        return false;
    };
    yhz::replaceAndRestart(*paths, argv[2], steps);
    return 1;
}
