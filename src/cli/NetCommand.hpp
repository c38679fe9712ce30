#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/Terminal.hpp"
#include "core/machine/NetworkUsage.hpp"

namespace CLI {
class App;
}

namespace tarvik::cli {

struct NetOptions {
    bool json = false;
};

// Registers `net` on the app.
CLI::App* addNetCommand(CLI::App& app, NetOptions& options);

// Watches TCP traffic for one second and prints the processes that moved data, heaviest first.
// While it watches, a progress line goes to `err` when the standard error is a terminal.
int runNet(const NetOptions& options, std::ostream& out, std::ostream& err);

// The readable table: pid, what the process received and sent during the second as rates, and
// its name; or a sentence when nothing moved.
[[nodiscard]] std::string renderNet(const std::vector<ProcessTraffic>& rows, const Terminal& terminal);

// The rows with their member names and the total.
[[nodiscard]] nlohmann::ordered_json toJson(const std::vector<ProcessTraffic>& rows);

}  // namespace tarvik::cli
