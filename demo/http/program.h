#pragma once
// What the two demo programs' mains share: reading their options from one
// table (which also writes the usage text) and the run of a server from
// start to a bounded stop on SIGINT or SIGTERM.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace yhz::web {

class ProgramOptions {
public:
    ProgramOptions(std::string program, std::string synopsis);

    // An option with a value; `take` answers false for a value it refuses.
    void value(std::string name, std::string valueName, std::string help,
               std::function<bool(const std::string&)> take);
    void text(std::string name, std::string valueName, std::string help, std::string* target);
    void number(std::string name, std::string help, long min, long max,
                std::function<void(long)> take);
    void flag(std::string name, std::string help, bool* target);
    // --address, --port and --threads, which every server has.
    void listening(std::string* address, int* port, std::size_t* threads);

    // Reads the command line. nullopt to go on; otherwise the status to end
    // with (0 after --help, 2 after a usage error, with the usage printed).
    std::optional<int> parse(int argc, char** argv) const;
    void usage() const;

private:
    struct Option {
        std::string name;
        std::string valueName;  // empty for a flag
        std::string help;
        std::function<bool(const std::string&)> take;
    };
    std::string program_;
    std::string synopsis_;
    std::vector<Option> options_;
};

// Runs a server until SIGINT or SIGTERM. `start` starts it (false and a
// message in `error` when it cannot) and says what to print once it serves;
// `stop` ends it (true: everything ended in order) and gets `bound`. Past
// the bound, or when `stop` fails, the process ends at once with status 1:
// a stop signal ends a server whatever its clients or a stuck handler do.
// Returns the program's exit status.
int serveUntilSignalled(const std::string& program,
                        const std::function<bool(std::string* error, std::string* banner)>& start,
                        const std::function<bool()>& stop,
                        std::chrono::milliseconds bound = std::chrono::milliseconds(1800));

}  // namespace yhz::web
