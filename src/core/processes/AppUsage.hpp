#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/processes/ProcessSampler.hpp"

namespace tarvik {

// One application's share of the machine: its processes folded into one row.
struct AppUsage {
    std::string name;  // the owner's name; unique within one list
    std::optional<std::string> bundlePath;
    double cpuPercent = 0;  // percent of one core, one decimal; may exceed 100
    std::uint64_t memoryBytes = 0;
    int processCount = 0;
    double gpuPercent = 0;  // one decimal; 0 until filled in
    bool isSystem = false;
    std::vector<std::int32_t> pids;        // ascending
    std::vector<ProcessRecord> processes;  // heaviest first
    // Interpreter processes that no application claims form one row per script or module they run:
    // `name` says both ("serve.py (python3.11)"), these each. Both are empty for an application.
    std::string script;
    std::string interpreter;

    bool operator==(const AppUsage&) const = default;

    [[nodiscard]] const std::string& id() const { return name; }

    // One row per owner name, heaviest first (CPU, then memory). A name keeps the bundle path and
    // system flag of its lowest pid, so two bundles with one display name share a row. An
    // interpreter process that is its own owner (no desktop entry, bundle or family claims it)
    // joins the row of its interpreter and script instead: quitting that row reaches nothing else.
    [[nodiscard]] static std::vector<AppUsage> group(const ProcessSnapshot& snapshot);

    // A copy with the CPU replaced and the GPU replaced when given; nothing is re-rounded.
    [[nodiscard]] AppUsage with(double cpu, std::optional<double> gpu) const;

    // A copy whose GPU share is the sum over `pids` of `gpuByPid` (missing pids add 0), one decimal.
    [[nodiscard]] AppUsage adding(const std::unordered_map<std::int32_t, double>& gpuByPid) const;
};

}  // namespace tarvik
