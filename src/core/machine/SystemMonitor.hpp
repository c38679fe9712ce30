#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/machine/CpuTicks.hpp"
#include "core/machine/Sensors.hpp"
#include "core/machine/SystemVitals.hpp"
#include "core/platform/SystemSensors.hpp"
#include "core/processes/ProcessSampler.hpp"
#include "core/support/Date.hpp"
#include "core/support/RateMeter.hpp"

namespace tarvik {

// Whole-machine load between two tick readings.
class CPUSampler {
public:
    // Load since the previous successful reading; nullopt on the first, when no tick passed, or
    // when the reading failed (the previous one is then kept).
    std::optional<CPULoad> sampleLoad(const std::optional<CpuTicks>& reading);
    std::optional<double> sample(const std::optional<CpuTicks>& reading);

private:
    std::optional<CpuTicks> m_previous;
};

// Per-core load between two readings.
class CoreSampler {
public:
    explicit CoreSampler(std::vector<int> efficiencyCores = {}) : m_efficiency(std::move(efficiencyCores)) {}
    // Empty when the reading failed (previous kept) or the number of cores changed (always so on
    // the first reading).
    std::vector<CoreLoad> sample(const std::optional<std::vector<CpuTicks>>& reading);

private:
    std::vector<int> m_efficiency;
    std::vector<CpuTicks> m_previous;
};

// Turns one process snapshot and the machine's counters into one `SystemVitals`. One instance
// lives with its owner; `sample` is thread-safe and callers serialise on its lock.
class SystemMonitor {
public:
    // Where the readings come from; `live()` reads this machine.
    struct Sources {
        std::function<Date()> clock;
        std::function<std::optional<CpuTicks>()> cpu;
        std::function<std::optional<std::vector<CpuTicks>>()> cores;
        std::function<std::optional<MemoryBreakdown::Reading>()> memory;
        std::function<std::optional<double>()> gpu;
        std::function<SystemSensors::Totals()> network;
        std::function<SystemSensors::Totals()> disks;
        std::function<std::optional<DiskSpace>()> diskSpace;
        std::function<std::optional<SystemSensors::EnergyCounter>()> packageEnergy;
        // Battery and power, given the processor's draw in milliwatts when it is known.
        std::function<BatteryAndPower(std::optional<double>)> batteryAndPower;
        std::function<std::optional<double>()> chipTemperature;
        std::function<ThermalLevel()> thermal;
        // Cumulative GPU nanoseconds per pid: of every process (a search as dear as reading every
        // descriptor of every process), or of the given pids only.
        std::function<std::unordered_map<std::int32_t, std::uint64_t>()> gpuTimes;
        std::function<std::unordered_map<std::int32_t, std::uint64_t>(const std::vector<std::int32_t>&)>
            gpuTimesOf;
        // The cards of a vendor library; unset or empty where there is none.
        std::function<std::vector<GpuDevice>()> gpuDevices;
        std::vector<int> efficiencyCores;

        [[nodiscard]] static Sources live();
    };
    static constexpr double diskSpaceMaxAge = 30.0;    // seconds
    static constexpr double temperatureMaxAge = 10.0;  // seconds
    // The GPU clients are searched for on every tenth sample; the samples between read only the
    // clients found then, so a program that opens the GPU later shows within ten samples.
    static constexpr int gpuSearchInterval = 10;

    SystemMonitor();
    explicit SystemMonitor(Sources sources);

    SystemVitals sample(const ProcessSnapshot& snapshot);
    // With a fresh process snapshot (its app CPU figures all 0): for one-off callers.
    SystemVitals sample();

private:
    template <typename T>
    struct Cached {
        std::optional<T> value;
        std::optional<Date> at;  // none: never read
    };

    // Searches for the GPU clients or reads the known ones, as the cadence says. Called under the lock.
    std::unordered_map<std::int32_t, std::uint64_t> gpuTimes();

    Sources m_sources;
    std::mutex m_mutex;  // held for the whole of `sample`; guards everything below
    CPUSampler m_cpu;
    RateMeter m_networkIn, m_networkOut, m_diskRead, m_diskWrite, m_swapOuts, m_packageEnergy;
    GPUMeter m_gpuMeter;
    std::vector<std::int32_t> m_gpuClients;  // the pids the last search found
    int m_gpuSamples = 0;                    // samples taken; every gpuSearchInterval-th one searches
    CoreSampler m_cores;
    Cached<double> m_temperature;
    Cached<DiskSpace> m_diskSpace;
};

}  // namespace tarvik
