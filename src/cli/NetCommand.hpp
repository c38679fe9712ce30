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
// its name, then a row of the short connections whose process is unknown; or a sentence when
// nothing moved. A note follows when connections shorter than the second went uncounted.
[[nodiscard]] std::string renderNet(const TrafficSample& sample, const Terminal& terminal);

// {"processes": rows with their member names and the total, "shortConnections": {count, bytesIn,
// bytesOut}, "shortConnectionsCounted": whether they could be counted at all}.
[[nodiscard]] nlohmann::ordered_json toJson(const TrafficSample& sample);

}  // namespace tarvik::cli
