#include <gtest/gtest.h>

#include "core/machine/Sensors.hpp"

namespace tarvik {
namespace {

using I = std::int64_t;

std::shared_ptr<const Registry> table(Registry registry) {
    return std::make_shared<const Registry>(std::move(registry));
}

}  // namespace

TEST(Sensors, thermalStatesOutsideZeroToThreeAreNominal) {
    using enum ThermalLevel;
    std::vector<ThermalLevel> levels;
    for (int state : {-1, 0, 1, 2, 3, 4, 7}) levels.push_back(thermalLevel(state));
    EXPECT_EQ(levels, (std::vector{nominal, nominal, fair, serious, critical, nominal, nominal}));
}

TEST(GPUMeter, ratesOnlyGrowthSinceAUsablePreviousReadingCappedAt100) {
    using Times = std::unordered_map<std::int32_t, std::uint64_t>;
    const std::tuple<Times, int, std::unordered_map<std::int32_t, double>> steps[] = {
        {{{1, 1'000'000'000}, {2, 5}}, 0, {}},                      // no previous reading
        {{{1, 1'500'000'000}, {2, 5}, {3, 9}}, 2000, {{1, 25.0}}},  // pid 2 idle, pid 3 new
        {{{1, 4'500'000'000}, {3, 9}}, 4000, {{1, 100.0}}},         // 3e9 ns over 2 s
        {{{1, 4'600'000'000}}, 4000, {}},                           // no time passed
        {{{1, 500}}, 5000, {}},                                     // counter reset
        {{{1, 500'000'500}}, 6000, {{1, 50.0}}},                    // rated from the reset value
    };
    GPUMeter meter;
    for (const auto& [times, milliseconds, percents] : steps)
        EXPECT_EQ(meter.update(times, Date{} + std::chrono::milliseconds(milliseconds)), percents)
            << milliseconds;
}

TEST(ChipTemperature, summarizeKeepsDieSensorsStrictlyBetween0And150) {
    const std::tuple<const char*, std::vector<TemperatureReading>, std::optional<double>> cases[] = {
        {"PMU", {{"PMU tdie1", 48.2}, {"PMU tdev3", 51.7}, {"PMU tcal", 80}, {"PMU tdie2", 160}}, 51.7},
        {"nothing in range", {{"PMU tdie1", 0}, {"PMU tdie2", 150}}, std::nullopt},
        {"k10temp Tdie over Tctl", {{"k10temp Tctl", 75}, {"k10temp Tdie", 55}, {"k10temp Tccd1", 60}}, 55},
        {"k10temp Tctl alone", {{"k10temp Tctl", 58.5}, {"k10temp Tccd1", 60}}, 58.5},
        {"CPU chips and zones", {{"cpu_thermal temp1", 52.1}, {"x86_pkg_temp", 53}, {"acpitz", 90}}, 53},
    };
    for (const auto& [what, readings, celsius] : cases)
        EXPECT_EQ(ChipTemperature::summarize(readings), celsius) << what;
}

TEST(BatteryStatus, fromRegistryFollowsTheBatteryServiceRules) {
    const Registry every{{"CurrentCapacity", I{87}},    {"IsCharging", false},
                         {"ExternalConnected", false},  {"AvgTimeToEmpty", I{207}},
                         {"AvgTimeToFull", I{45}},      {"Voltage", I{12600}},
                         {"InstantAmperage", I{-1500}}, {"NominalChargeCapacity", I{4321}},
                         {"DesignCapacity", I{5000}},   {"CycleCount", I{142}}};
    using B = BatteryStatus;
    const std::tuple<const char*, Registry, const char*, std::optional<B>> cases[] = {
        {"every key", {}, nullptr, B{87, false, false, 207, 18.9, 86, 142}},
        {"no CurrentCapacity", {}, "CurrentCapacity", std::nullopt},
        {"CurrentCapacity not an integer", {{"CurrentCapacity", 87.0}}, nullptr, std::nullopt},
        {"no estimate yet", {{"AvgTimeToEmpty", I{65535}}}, nullptr, B{87, false, false, {}, 18.9, 86, 142}},
        {"voltage not an integer", {{"Voltage", 12.6}}, nullptr, B{87, false, false, 207, {}, 86, 142}},
        {"no design capacity", {{"DesignCapacity", I{0}}}, nullptr, B{87, false, false, 207, 18.9, {}, 142}},
        {"a capacity past any health an int holds",
         {{"NominalChargeCapacity", I{1'000'000'000'000}}, {"DesignCapacity", I{1}}},
         nullptr,
         B{87, false, false, 207, 18.9, {}, 142}},
        {"cycles as text",
         {{"CycleCount", std::string("142")}},
         "AvgTimeToEmpty",
         B{87, false, false, {}, 18.9, 86, {}}},
    };
    for (const auto& [what, changes, removed, status] : cases) {
        Registry registry = every;
        for (const auto& [key, value] : changes) registry[key] = value;
        if (removed) registry.erase(removed);
        EXPECT_EQ(BatteryStatus::fromRegistry(registry), status) << what;
    }
}

TEST(PowerTelemetry, fromRegistryRoundsMilliwattsAndDropsIdleFigures) {
    const std::tuple<const char*, Registry, std::optional<PowerTelemetry>> cases[] = {
        {"no telemetry", {{"IsCharging", true}}, std::nullopt},
        {"telemetry not a dictionary", {{"PowerTelemetryData", I{5}}}, std::nullopt},
        {"charging",
         {{"IsCharging", true},
          {"PowerTelemetryData",
           table({{"SystemLoad", I{12345}}, {"SystemPowerIn", 45049.9}, {"BatteryPower", I{18950}}})}},
         PowerTelemetry{12.3, 45.0, 19.0}},
        {"not charging, adapter idle",
         {{"PowerTelemetryData", table({{"SystemPowerIn", I{0}}, {"BatteryPower", I{18950}}})}},
         PowerTelemetry{}},
        {"charging at under 0.05 W",
         {{"IsCharging", true}, {"PowerTelemetryData", table({{"BatteryPower", I{40}}})}},
         PowerTelemetry{}},
    };
    for (const auto& [what, registry, power] : cases)
        EXPECT_EQ(PowerTelemetry::fromRegistry(registry), power) << what;
}

}  // namespace tarvik
