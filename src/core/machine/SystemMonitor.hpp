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
#include "core/processes/ProcessSampler.hpp"
#include "core/support/Date.hpp"

namespace tarvik {

// The previous reading of one cumulative counter, for its rate.
struct RateMeter {
    struct Reading {
        std::uint64_t value = 0;
        Date at;
    };
    std::optional<Reading> last;

    // Per second since the previous reading; nullopt on the first, after the counter went back
    // (a reset or wrap) or when no time passed. The reading is kept in every case.
    std::optional<double> update(std::uint64_t value, Date at);
};

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
        std::function<BatteryAndPower()> batteryAndPower;
        std::function<std::optional<double>()> chipTemperature;
        std::function<ThermalLevel()> thermal;
        std::function<std::unordered_map<std::int32_t, std::uint64_t>()> gpuTimes;
        std::vector<int> efficiencyCores;

        [[nodiscard]] static Sources live();
    };
    static constexpr double diskSpaceMaxAge = 30.0;    // seconds
    static constexpr double temperatureMaxAge = 10.0;  // seconds

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

    Sources m_sources;
    std::mutex m_mutex;  // held for the whole of `sample`; guards everything below
    CPUSampler m_cpu;
    RateMeter m_networkIn, m_networkOut, m_diskRead, m_diskWrite, m_swapOuts;
    GPUMeter m_gpuMeter;
    CoreSampler m_cores;
    Cached<double> m_temperature;
    Cached<DiskSpace> m_diskSpace;
};

}  // namespace tarvik
