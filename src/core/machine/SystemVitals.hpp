#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/machine/GpuDevices.hpp"
#include "core/machine/Sensors.hpp"
#include "core/processes/AppUsage.hpp"

namespace tarvik {

// Whole-machine CPU load since the previous sample, fractions 0...1 of all CPU time.
struct CPULoad {
    double busy = 0;  // user + system, at most 1
    double user = 0;
    double system = 0;
    bool operator==(const CPULoad&) const = default;
};

// One logical core's busy fraction since the previous sample.
struct CoreLoad {
    int index = 0;
    double load = 0;
    bool isEfficiency = false;
    bool operator==(const CoreLoad&) const = default;
    [[nodiscard]] int id() const { return index; }

    // Core i is an efficiency core when i is below `efficiencyCount` (the lowest-numbered ones).
    [[nodiscard]] static std::vector<CoreLoad> label(const std::vector<double>& loads, int efficiencyCount);
    // The same with the efficiency cores named by number, wherever they sit.
    [[nodiscard]] static std::vector<CoreLoad> label(const std::vector<double>& loads,
                                                     const std::vector<int>& efficiencyCores);
};

// Used and total memory for the footer.
struct MemoryUsage {
    std::uint64_t usedBytes = 0;
    std::uint64_t totalBytes = 0;
    bool operator==(const MemoryUsage&) const = default;

    // "6.2 GB/16 GB".
    [[nodiscard]] std::string label() const;
};

// Memory composition, bytes.
struct MemoryBreakdown {
    std::uint64_t total = 0;       // physical memory
    std::uint64_t app = 0;         // anonymous memory of processes
    std::uint64_t wired = 0;       // the kernel's own, never paged out
    std::uint64_t compressed = 0;  // held by the compressor
    std::uint64_t cached = 0;      // file-backed and reclaimable
    std::uint64_t free = 0;
    std::uint64_t swapUsed = 0;
    std::uint64_t swapTotal = 0;
    // What can still be handed out without swapping: free memory and the cache the kernel can drop.
    std::uint64_t available = 0;

    bool operator==(const MemoryBreakdown&) const = default;
    // Memory in use, as `free` counts it: all of it but what is available. Every figure of used
    // memory is this one.
    [[nodiscard]] std::uint64_t used() const { return total > available ? total - available : 0; }
    [[nodiscard]] MemoryUsage usage() const { return {used(), total}; }

    struct Reading;
};

struct MemoryBreakdown::Reading {
    MemoryBreakdown breakdown;
    std::uint64_t swapOuts = 0;  // cumulative bytes
    // The cgroup whose memory limit `breakdown.total` is, when one binds below physical memory.
    std::optional<std::string> limitedBy;
    bool operator==(const Reading&) const = default;
};

enum class MemoryPressure { normal, warning, critical };

namespace MemoryPressures {
// 4 critical, 2 warning, anything else normal.
[[nodiscard]] MemoryPressure fromLevel(std::int32_t level);
[[nodiscard]] std::string_view rawValue(MemoryPressure pressure);
}  // namespace MemoryPressures

// Free and total bytes of the startup volume.
struct DiskSpace {
    std::uint64_t free = 0;
    std::uint64_t total = 0;
    bool operator==(const DiskSpace&) const = default;
    // Below a tenth free; a volume of no size is never low.
    [[nodiscard]] bool isLow() const {
        return total > 0 && static_cast<double>(free) / static_cast<double>(total) < 0.1;
    }
};

// One sample of the machine. Optionals are absent when the reading failed or, for rates, on the
// first sample.
struct SystemVitals {
    std::optional<CPULoad> cpu;
    std::optional<double> gpu;        // percent 0-100, the busiest device's
    std::vector<GpuDevice> gpus;      // the cards that describe themselves, each with its readings
    std::optional<double> networkIn;  // bytes per second
    std::optional<double> networkOut;
    std::optional<double> diskRead;
    std::optional<double> diskWrite;
    std::optional<DiskSpace> disk;
    std::optional<BatteryStatus> battery;
    std::optional<PowerTelemetry> power;
    std::optional<double> chipCelsius;
    ThermalLevel thermal = ThermalLevel::nominal;
    std::optional<MemoryBreakdown> memory;
    // The cgroup ("/system.slice/foo.service") whose memory limit `memory` counts within, in
    // place of physical memory; absent when no limit binds below it.
    std::optional<std::string> memoryLimitedBy;
    std::optional<double> swapOutPerSecond;
    std::vector<CoreLoad> cores;  // empty on the first sample or after a core-count change
    std::vector<AppUsage> apps;

    bool operator==(const SystemVitals&) const = default;
};

namespace SystemSensors {
struct Totals {
    std::uint64_t first = 0;   // received / read
    std::uint64_t second = 0;  // sent / written
    bool operator==(const Totals&) const = default;
};
}  // namespace SystemSensors

}  // namespace tarvik
