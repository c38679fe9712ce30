#include "core/machine/Sensors.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "core/support/Text.hpp"

namespace tarvik {

ThermalLevel thermalLevel(int state) {
    if (state < 0 || state > 3) return ThermalLevel::nominal;
    return static_cast<ThermalLevel>(state);
}

int rawValue(ThermalLevel level) {
    return static_cast<int>(level);
}

std::string_view name(ThermalLevel level) {
    switch (level) {
        case ThermalLevel::nominal:
            return "nominal";
        case ThermalLevel::fair:
            return "fair";
        case ThermalLevel::serious:
            return "serious";
        case ThermalLevel::critical:
            return "critical";
    }
    return "nominal";
}

namespace {

template <typename T>
const T* value(const Registry& registry, const std::string& key) {
    auto found = registry.find(key);
    return found == registry.end() ? nullptr : std::get_if<T>(&found->second);
}

std::optional<std::int64_t> integer(const Registry& registry, const std::string& key) {
    if (const auto* number = value<std::int64_t>(registry, key)) return *number;
    return std::nullopt;
}

std::optional<int> smallInteger(const Registry& registry, const std::string& key) {
    auto number = integer(registry, key);
    if (!number || *number < std::numeric_limits<int>::min() || *number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*number);
}

std::optional<double> number(const Registry& registry, const std::string& key) {
    if (const auto* whole = value<std::int64_t>(registry, key)) return static_cast<double>(*whole);
    if (const auto* real = value<double>(registry, key)) return *real;
    return std::nullopt;
}

bool flag(const Registry& registry, const std::string& key) {
    const bool* set = value<bool>(registry, key);
    return set && *set;
}

double milliwattsToWatts(double milliwatts) {
    return Text::roundHalfAwayFromZero(milliwatts / 100) / 10;
}

}  // namespace

std::optional<BatteryStatus> BatteryStatus::fromRegistry(const Registry& registry) {
    auto percent = smallInteger(registry, "CurrentCapacity");
    if (!percent) return std::nullopt;
    BatteryStatus status;
    status.percent = *percent;
    status.isCharging = flag(registry, "IsCharging");
    status.onPower = flag(registry, "ExternalConnected");
    // The service says 65535 when it has no estimate yet.
    auto minutes = smallInteger(registry, status.isCharging ? "AvgTimeToFull" : "AvgTimeToEmpty");
    if (minutes && *minutes > 0 && *minutes < 65535) status.minutesRemaining = minutes;
    auto millivolts = integer(registry, "Voltage");
    auto milliamperes = integer(registry, "InstantAmperage");
    if (millivolts && milliamperes) {
        // The amperage is negative while discharging; the watts say how much, not which way.
        double microwatts = std::abs(static_cast<double>(*millivolts) * static_cast<double>(*milliamperes));
        status.watts = Text::roundHalfAwayFromZero(microwatts / 100'000) / 10;
    }
    auto full = integer(registry, "NominalChargeCapacity");
    auto design = integer(registry, "DesignCapacity");
    if (full && design && *design >= 1) {
        double health =
            Text::roundHalfAwayFromZero(static_cast<double>(*full) / static_cast<double>(*design) * 100);
        // A garbled capacity can give a ratio no int holds.
        if (std::abs(health) <= std::numeric_limits<int>::max())
            status.healthPercent = static_cast<int>(health);
    }
    status.cycleCount = smallInteger(registry, "CycleCount");
    return status;
}

std::optional<PowerTelemetry> PowerTelemetry::fromRegistry(const Registry& registry) {
    const auto* table = value<std::shared_ptr<const Registry>>(registry, "PowerTelemetryData");
    if (!table || !*table) return std::nullopt;
    auto watts = [&](const std::string& key) -> std::optional<double> {
        auto milliwatts = number(**table, key);
        if (!milliwatts) return std::nullopt;
        return milliwattsToWatts(*milliwatts);
    };
    PowerTelemetry telemetry;
    telemetry.systemWatts = watts("SystemLoad");
    if (auto in = watts("SystemPowerIn"); in && *in > 0) telemetry.adapterWatts = in;
    if (flag(registry, "IsCharging"))
        if (auto charging = watts("BatteryPower"); charging && *charging > 0)
            telemetry.chargingWatts = charging;
    return telemetry;
}

std::unordered_map<std::int32_t, double> GPUMeter::update(
    const std::unordered_map<std::int32_t, std::uint64_t>& times, Date at) {
    std::unordered_map<std::int32_t, double> percents;
    std::unordered_map<std::int32_t, RateMeter> next;
    for (const auto& [pid, time] : times) {
        RateMeter& meter = next[pid];
        if (auto it = meters.find(pid); it != meters.end()) meter = it->second;
        // A smaller time is a new process under a reused pid or a reset counter: no rate yet.
        auto nanosecondsPerSecond = meter.update(time, at);
        if (nanosecondsPerSecond && *nanosecondsPerSecond > 0)
            percents[pid] = std::min(*nanosecondsPerSecond / 1e7, 100.0);
    }
    meters = std::move(next);
    return percents;
}

namespace ChipTemperature {

namespace {

constexpr std::string_view controlLabel = " Tctl";
constexpr std::string_view dieLabel = " Tdie";

bool isAmdChip(std::string_view name) {
    return name.starts_with("k10temp ") || name.starts_with("zenpower ");
}

bool isDie(std::string_view name) {
    if (name.starts_with("PMU tdie") || name.starts_with("PMU tdev")) return true;
    if (name.starts_with("coretemp Package id ")) return true;
    if (isAmdChip(name) && (name.ends_with(controlLabel) || name.ends_with(dieLabel))) return true;
    return name.starts_with("cpu") || name.starts_with("x86_pkg_temp");
}

}  // namespace

std::optional<double> summarize(const std::vector<TemperatureReading>& readings) {
    std::unordered_set<std::string_view> chipsWithDie;
    for (const auto& reading : readings) {
        std::string_view name = reading.name;
        if (isAmdChip(name) && name.ends_with(dieLabel))
            chipsWithDie.insert(name.substr(0, name.size() - dieLabel.size()));
    }
    std::optional<double> hottest;
    for (const auto& reading : readings) {
        std::string_view name = reading.name;
        if (!isDie(name) || reading.celsius <= 0 || reading.celsius >= 150) continue;
        if (isAmdChip(name) && name.ends_with(controlLabel) &&
            chipsWithDie.contains(name.substr(0, name.size() - controlLabel.size())))
            continue;  // offset Tctl
        if (!hottest || reading.celsius > *hottest) hottest = reading.celsius;
    }
    return hottest;
}

}  // namespace ChipTemperature

}  // namespace tarvik
