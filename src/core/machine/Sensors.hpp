#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "core/support/Date.hpp"
#include "core/support/RateMeter.hpp"

// The machine's sensors: GPU load, GPU time per process, chip temperature, battery, power and the
// thermal state. The rules that turn raw properties into readings live here; the platform backend
// supplies the properties. No reading reports an error: a missing source gives an absent value or
// an empty table for that sample only.
namespace tarvik {

// Ordered by raw value, so `level > ThermalLevel::fair` reads as "hotter than fair".
enum class ThermalLevel { nominal = 0, fair = 1, serious = 2, critical = 3 };

// The level of an operating-system thermal state of the same number; anything outside 0-3 is
// nominal.
[[nodiscard]] ThermalLevel thermalLevel(int state);
[[nodiscard]] int rawValue(ThermalLevel level);
// "nominal", "fair", "serious", "critical".
[[nodiscard]] std::string_view name(ThermalLevel level);

// The battery service's properties, keyed and typed as the macOS battery service publishes them
// (AppleSmartBattery: "CurrentCapacity", "Voltage" in mV, ...). Other platforms build such a table
// from their own sources so that one rule set serves every platform. A nested dictionary
// ("PowerTelemetryData") is held by pointer because a variant cannot contain its own type.
struct Registry;
using RegistryValue = std::variant<std::int64_t, double, bool, std::string, std::shared_ptr<const Registry>>;
struct Registry : std::unordered_map<std::string, RegistryValue> {
    using unordered_map::unordered_map;
};

struct BatteryStatus {
    int percent = 0;  // charge level 0-100
    bool isCharging = false;
    bool onPower = false;                 // an external power source is connected
    std::optional<int> minutesRemaining;  // to full when charging, to empty otherwise
    std::optional<double> watts;          // into or out of the battery, one decimal, never negative
    std::optional<int> healthPercent;     // full-charge capacity over design capacity
    std::optional<int> cycleCount;

    // nullopt without an integer "CurrentCapacity". Integer keys must hold std::int64_t: the
    // battery reader converts every non-boolean number to an integer first.
    [[nodiscard]] static std::optional<BatteryStatus> fromRegistry(const Registry& registry);
    bool operator==(const BatteryStatus&) const = default;
};

// Watts with one decimal.
struct PowerTelemetry {
    std::optional<double> systemWatts;    // whole-system load
    std::optional<double> adapterWatts;   // drawn from the adapter; only when positive
    std::optional<double> chargingWatts;  // into the battery; only while charging and positive

    // nullopt unless "PowerTelemetryData" is a dictionary; its figures are milliwatts, integer or not.
    [[nodiscard]] static std::optional<PowerTelemetry> fromRegistry(const Registry& registry);
    bool operator==(const PowerTelemetry&) const = default;
};

// Both halves come from one read of the battery service.
struct BatteryAndPower {
    std::optional<BatteryStatus> battery;
    std::optional<PowerTelemetry> power;
    bool operator==(const BatteryAndPower&) const = default;
};

struct TemperatureReading {
    std::string name;
    double celsius = 0;
    bool operator==(const TemperatureReading&) const = default;
};

// Turns cumulative GPU nanoseconds per pid into percent of one GPU since the previous reading.
// Not thread-safe: its owner serialises the calls.
struct GPUMeter {
    std::unordered_map<std::int32_t, RateMeter> meters;  // by pid, for the pids of the last reading

    // Percent (at most 100, not rounded) per pid whose time grew since the previous reading; empty
    // on the first reading or when no time passed. A pid without growth is absent (it reads as 0).
    // The new reading replaces the previous one in every case.
    std::unordered_map<std::int32_t, double> update(
        const std::unordered_map<std::int32_t, std::uint64_t>& times, Date at);
};

namespace ChipTemperature {
// The hottest die temperature among `readings`, not rounded; nullopt when no die reading lies
// strictly between 0 and 150 degrees C. The die readings are named as the platform names them:
// - macOS: sensor names starting with "PMU tdie" or "PMU tdev";
// - Linux hwmon chips, "<chip> <label>": "coretemp Package id N", "k10temp Tctl", "k10temp Tdie",
//   the same labels of "zenpower", and every sensor of a chip whose name starts with "cpu"
//   ("cpu_thermal temp1"). A chip's Tctl counts only when the same chip reports no Tdie: k10temp
//   shows Tdie only on the processors whose Tctl carries a fixed offset (up to 27 degrees);
// - Linux thermal zones, named by type: "x86_pkg_temp" and types starting with "cpu".
[[nodiscard]] std::optional<double> summarize(const std::vector<TemperatureReading>& readings);
}  // namespace ChipTemperature

}  // namespace tarvik
