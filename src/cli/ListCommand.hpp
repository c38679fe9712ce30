#pragma once

#include <ostream>
#include <vector>

#include "cli/Terminal.hpp"
#include "core/Server.hpp"

namespace CLI {
class App;
}

namespace tarvik::cli {

struct ListOptions {
    double interval = 1.0;  // seconds between the two samples; 0 takes one
    bool all = false;       // include the operating system's listeners
    bool json = false;
};

// Registers `list` on the app; the callback runs it into `out`.
void addListCommand(CLI::App& app, ListOptions& options);

// Samples, waits `interval`, samples again and scans.
[[nodiscard]] std::vector<Server> collectServers(double interval);

// The table of `servers` (dev ones, and the system ones with `all`), or a sentence when none.
[[nodiscard]] std::string renderServerTable(const std::vector<Server>& servers, bool all, const Terminal& terminal);

int runList(const ListOptions& options, std::ostream& out);

}  // namespace tarvik::cli
