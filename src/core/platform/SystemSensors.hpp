#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/machine/CpuTicks.hpp"
#include "core/machine/GpuDevices.hpp"
#include "core/machine/Sensors.hpp"
#include "core/machine/SystemVitals.hpp"

// The machine as the operating system reports it: one reading per call, no memory between calls
// (rates, caches and cadences belong to `SystemMonitor`). Every reader is thread-safe and gives an
// absent value, an empty table or zeros when its source is missing or unreadable.
namespace tarvik {

namespace SystemStats {
// Cumulative ticks of the whole machine, and of each core by core number.
[[nodiscard]] std::optional<CpuTicks> cpuTicks();
[[nodiscard]] std::optional<std::vector<CpuTicks>> coreTicks();
// The efficiency cores of a hybrid processor, by core number; empty elsewhere.
[[nodiscard]] std::vector<int> efficiencyCores();
// The memory composition and the cumulative swapped-out bytes.
[[nodiscard]] std::optional<MemoryBreakdown::Reading> memoryReading();
// Used and total memory for the footer; used 0 when it cannot be read.
[[nodiscard]] MemoryUsage memory();
}  // namespace SystemStats

namespace MemoryPressures {
// The machine's pressure now; normal when it cannot be read.
[[nodiscard]] MemoryPressure current();
}  // namespace MemoryPressures

namespace SystemSensors {
// Bytes received and sent by the physical network interfaces since boot.
[[nodiscard]] Totals networkTotals();
// Bytes read and written by the disks since boot.
[[nodiscard]] Totals diskTotals();
// The startup volume.
[[nodiscard]] std::optional<DiskSpace> diskSpace();
// Device utilisation percent, the maximum over the accelerators that report it; not rounded.
[[nodiscard]] std::optional<double> gpuUtilization();

// The processor package's cumulative energy counter, in microjoules, and the value past which it
// starts again from 0 when known.
struct EnergyCounter {
    std::uint64_t microjoules = 0;
    std::optional<std::uint64_t> wrapsAt;
    bool operator==(const EnergyCounter&) const = default;
};
[[nodiscard]] std::optional<EnergyCounter> packageEnergy();

// Battery and power from one read; `packageMilliwatts` (the processor's draw, measured by the
// caller from `packageEnergy`) stands for the system load where the battery tells none.
[[nodiscard]] BatteryAndPower batteryAndPower(std::optional<double> packageMilliwatts);
[[nodiscard]] std::optional<BatteryStatus> battery();
[[nodiscard]] ThermalLevel thermal();
}  // namespace SystemSensors

namespace GPUUsage {
// Cumulative GPU nanoseconds per pid over all its GPU clients, searching every process. Empty at
// once on a machine without a GPU device.
[[nodiscard]] std::unordered_map<std::int32_t, std::uint64_t> accumulatedTime();
// The same for the given pids only: far cheaper than the search.
[[nodiscard]] std::unordered_map<std::int32_t, std::uint64_t> accumulatedTime(
    const std::vector<std::int32_t>& pids);
}  // namespace GPUUsage

namespace NvidiaGpus {
// NVIDIA's cards through its management library when the driver installed one; the environment
// variable TARVIK_NVML_LIBRARY names another folder holding libnvidia-ml.so.1, or the library
// itself. Empty without the library. Shut down at exit.
[[nodiscard]] std::vector<GpuDevice> read();
}  // namespace NvidiaGpus

namespace ChipTemperature {
// Every temperature sensor that answered, in degrees C.
[[nodiscard]] std::vector<TemperatureReading> readings();
// The hottest die temperature now, in degrees C.
[[nodiscard]] std::optional<double> current();
}  // namespace ChipTemperature

}  // namespace tarvik
