#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/machine/Sensors.hpp"
#include "core/platform/SystemSensors.hpp"
#include "core/support/Date.hpp"

// The Linux sources of the sensor readings, each reading a /sys or /proc tree given by its root
// folder so that tests can point them at a fixture tree. The no-argument versions of
// core/platform/SystemSensors.hpp read the live trees. A missing or unreadable file gives an absent value.
namespace tarvik {

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

// RAPL package 0's /sys/class/powercap/intel-rapl:0/energy_uj, which wraps past its
// max_energy_range_uj. Only root may read it since it was found to leak what the processor computes.
[[nodiscard]] std::optional<EnergyCounter> packageEnergy(const std::string& sysRoot);

// The battery and power of `batteryRegistry`.
[[nodiscard]] BatteryAndPower batteryAndPower(const std::string& sysRoot,
                                              std::optional<double> packageMilliwatts);

[[nodiscard]] std::optional<BatteryStatus> battery(const std::string& sysRoot);

// The hottest thermal zone's level from its trip points (a trip at or below 0 degrees is unset):
// critical at or above a critical or hot trip, serious at or above the lowest passive trip, fair
// within 5 degrees below it, else nominal.
[[nodiscard]] ThermalLevel thermal(const std::string& sysRoot);

}  // namespace SystemSensors

namespace GPUUsage {
// One open DRM file as its fdinfo describes it.
struct DrmClient {
    std::string id;  // device and client id; empty when the driver gives none
    std::uint64_t nanoseconds = 0;
    bool operator==(const DrmClient&) const = default;
};
// The engine time of an fdinfo text; nullopt when it holds no engine time (not a GPU file).
[[nodiscard]] std::optional<DrmClient> parseFdinfo(std::string_view fdinfo);
// GPU nanoseconds per pid from /proc/PID/fdinfo of the descriptors open on /dev/dri or /dev/accel:
// the sum of the "drm-engine-NAME: N ns" lines, each drm client (drm-pdev and drm-client-id)
// counted once per process however many descriptors share it. Another user's processes cannot be
// read and are absent.
[[nodiscard]] std::unordered_map<std::int32_t, std::uint64_t> accumulatedTime(const std::string& procRoot);
// The same for the given pids only.
[[nodiscard]] std::unordered_map<std::int32_t, std::uint64_t> accumulatedTime(
    const std::string& procRoot, const std::vector<std::int32_t>& pids);
}  // namespace GPUUsage

namespace ChipTemperature {
// Every hwmon temperature as "<chip> <label>" (the label is "tempN" when the chip gives none),
// then every thermal zone under its type.
[[nodiscard]] std::vector<TemperatureReading> readings(const std::string& sysRoot);
// The die temperature of the hwmon chips, else of the thermal zones.
[[nodiscard]] std::optional<double> current(const std::string& sysRoot);
}  // namespace ChipTemperature

}  // namespace tarvik
