#pragma once

#include <cstdint>
#include <ostream>

namespace CLI {
class App;
}

namespace tarvik::cli {

struct StopOptions {
    std::int64_t target = 0;  // a port or a pid, given in decimal
    bool port = false;        // the target is a port
    bool pid = false;         // the target is a process id
    bool force = false;       // kill instead of asking to terminate
};

// Registers `stop` on the app.
CLI::App* addStopCommand(CLI::App& app, StopOptions& options);

// Stops the servers on that port (or of that pid) with their process trees, waits 1.5 s, looks again
// and says which listed servers ended (by port) and what was freed, which a supervisor started
// again, and which processes are still running. A number that is both a port with a server and a
// running process is refused until --port or --pid says which (2). 0 when everything stopped, 1
// otherwise (a server started again included).
int runStop(const StopOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tarvik::cli
