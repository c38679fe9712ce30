#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis/HeatReport.hpp"
#include "core/machine/SystemVitals.hpp"
#include "core/processes/AppUsage.hpp"

namespace tarvik {

// What the diagnosis reads, as the store averages it.
struct DiagnosisInputs {
    MemoryPressure pressure = MemoryPressure::normal;
    double swapOutPerSecond = 0;  // bytes per second, mean over the last minute
    HeatReport heat;
    double systemCPU = 0;  // percent, mean over ten minutes
    double gpu = 0;        // percent, mean over ten minutes
    // The busiest graphics card's own name ("NVIDIA GeForce RTX 4070") when it gave one.
    std::optional<std::string> gpuName;
    std::optional<DiskSpace> disk;
    bool onBattery = false;
    std::optional<double> systemWatts;
    std::vector<AppUsage> apps;         // averaged
    std::uint64_t compressedBytes = 0;  // memory held compressed now (zram or zswap on Linux)
    // Memory in use and the memory there is, bytes, now: within a cgroup's memory limit the
    // limit's, and `memoryLimitedBy` names that cgroup. A total of 0 means unknown.
    std::uint64_t memoryUsed = 0;
    std::uint64_t memoryTotal = 0;
    std::optional<std::string> memoryLimitedBy;
    bool operator==(const DiagnosisInputs&) const = default;
};

// One plain-language observation about the machine.
struct Finding {
    enum class Kind { memory, heat, cpu, gpu, battery, disk, allClear };
    enum class Severity { calm = 0, notice = 1, warning = 2, critical = 3 };

    Kind kind = Kind::allClear;
    Severity severity = Severity::calm;
    std::string title;
    std::string detail;
    std::optional<AppUsage> app;  // the application the finding points at

    bool operator==(const Finding&) const = default;
    // The kind's raw value: one finding per kind at most.
    [[nodiscard]] std::string_view id() const { return rawValue(kind); }

    [[nodiscard]] static std::string_view rawValue(Kind kind);
    [[nodiscard]] static std::string_view rawValue(Severity severity);
};

namespace Diagnosis {
// Memory, heat, CPU, GPU, battery and disk findings in that fixed order, each when its condition
// holds; the single all-clear finding when none does. Never empty. Memory is tight at
// `tightMemory` of the total in use and very low at `lowMemory`, whatever the pressure says: a
// cgroup's limit is reached without the machine feeling any pressure.
inline constexpr double tightMemory = 0.90;
inline constexpr double lowMemory = 0.95;
[[nodiscard]] std::vector<Finding> evaluate(const DiagnosisInputs& inputs);
}  // namespace Diagnosis

}  // namespace tarvik
