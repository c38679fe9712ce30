#pragma once

#include <cstdint>
#include <ostream>

namespace CLI {
class App;
}

namespace tarvik::cli {

struct StopOptions {
    std::int64_t target = 0;  // a port, or else a pid
    bool force = false;       // kill instead of asking to terminate
};

// Registers `stop` on the app.
CLI::App* addStopCommand(CLI::App& app, StopOptions& options);

// Stops the servers on that port (or of that pid), waits 1.5 s, looks again and says what was
// freed, or that a process is still running. 0 when everything stopped, 1 otherwise.
int runStop(const StopOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tarvik::cli
