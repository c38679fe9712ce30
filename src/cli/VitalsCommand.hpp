#pragma once

#include <ostream>

#include <nlohmann/json.hpp>

#include "cli/Terminal.hpp"
#include "core/machine/SystemVitals.hpp"

namespace CLI {
class App;
}

namespace tarvik::cli {

struct VitalsOptions {
    double interval = 1.0;  // seconds between the two samples
    bool json = false;
};

CLI::App* addVitalsCommand(CLI::App& app, VitalsOptions& options);

// Samples the machine twice, `interval` seconds apart, and prints the second sample.
int runVitals(const VitalsOptions& options, std::ostream& out);

// The readable block: every reading on a line of its own, "n/a" where the machine has none, then
// the busiest apps by CPU and by memory.
[[nodiscard]] std::string renderVitals(const SystemVitals& vitals, MemoryPressure pressure,
                                       const Terminal& terminal);

// The record with its member names and `pressure` (as the readable block names it); absent
// readings are null.
[[nodiscard]] nlohmann::ordered_json toJson(const SystemVitals& vitals, MemoryPressure pressure);

}  // namespace tarvik::cli
