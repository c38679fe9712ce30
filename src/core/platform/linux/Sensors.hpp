#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/machine/Sensors.hpp"
#include "core/support/Date.hpp"

// The Linux sources of the sensor readings, each reading a /sys or /proc tree given by its root
// folder so that tests can point them at a fixture tree. The no-argument versions in
// core/Sensors.hpp read the live trees. A missing or unreadable file gives an absent value.
namespace tarvik {

// Average power from a cumulative energy counter in microjoules, such as RAPL's
// /sys/class/powercap/intel-rapl:N/energy_uj, which wraps at its max_energy_range_uj. Not
// thread-safe: its owner serialises the calls.
struct RaplMeter {
    struct Reading {
        std::uint64_t energyUJ = 0;
        Date at;
    };
    std::optional<Reading> last;

    // Watts since the previous reading; nullopt on the first, when no time passed, or when the
    // counter went back and its range is unknown. The new reading replaces the previous one.
    std::optional<double> update(std::uint64_t energyUJ, std::optional<std::uint64_t> rangeUJ, Date at);
};

namespace SystemSensors {

// The largest /sys/class/drm/cardN/device/gpu_busy_percent.
[[nodiscard]] std::optional<double> gpuUtilization(const std::string& sysRoot);

// The first present system battery of /sys/class/power_supply (peripheral batteries excluded)
// and the supplies' `online` flags, as a table under the battery service's keys:
// "CurrentCapacity", "IsCharging", "ExternalConnected", "AvgTimeToFull"/"AvgTimeToEmpty"
// (minutes), "Voltage" (mV), "InstantAmperage" (mA), "NominalChargeCapacity", "DesignCapacity",
// "CycleCount", and "PowerTelemetryData" with "SystemLoad", "BatteryPower", "SystemPowerIn" in mW.
// The system load is the battery's discharge power while on battery, else `packageMilliwatts`.
[[nodiscard]] Registry batteryRegistry(const std::string& sysRoot, std::optional<double> packageMilliwatts);

// Reads RAPL package 0 into `rapl`, then the battery and power from `batteryRegistry`.
[[nodiscard]] BatteryAndPower batteryAndPower(const std::string& sysRoot, RaplMeter& rapl, Date now);

[[nodiscard]] std::optional<BatteryStatus> battery(const std::string& sysRoot);

// The hottest thermal zone's level from its trip points (a trip at or below 0 degrees is unset):
// critical at or above a critical or hot trip, serious at or above the lowest passive trip, fair
// within 5 degrees below it, else nominal.
[[nodiscard]] ThermalLevel thermal(const std::string& sysRoot);

}  // namespace SystemSensors

namespace GPUUsage {
// GPU nanoseconds per pid from /proc/PID/fdinfo of the descriptors open on /dev/dri or /dev/accel:
// the sum of the "drm-engine-NAME: N ns" lines, each drm client (drm-pdev and drm-client-id)
// counted once per process however many descriptors share it. Another user's processes cannot be
// read and are absent.
[[nodiscard]] std::unordered_map<std::int32_t, std::uint64_t> accumulatedTime(const std::string& procRoot);
}  // namespace GPUUsage

namespace ChipTemperature {
// Every hwmon temperature as "<chip> <label>" (the label is "tempN" when the chip gives none),
// then every thermal zone under its type.
[[nodiscard]] std::vector<TemperatureReading> readings(const std::string& sysRoot);
// The die temperature of the hwmon chips, else of the thermal zones.
[[nodiscard]] std::optional<double> current(const std::string& sysRoot);
}  // namespace ChipTemperature

}  // namespace tarvik
