#include "core/analysis/HeatReport.hpp"

#include <gtest/gtest.h>

#include "core/analysis/Builders.hpp"

namespace tarvik {
namespace {

HeatCause cause(const AppUsage& usage) {
    return HeatCauses::App{usage};
}
constexpr ThermalLevel nominal = ThermalLevel::nominal, fair = ThermalLevel::fair;
HeatInputs load(ThermalLevel thermal, std::vector<AppUsage> apps, double cpu = 0, double gpu = 0) {
    return {thermal, {}, {}, {}, cpu, gpu, std::move(apps)};
}

TEST(HeatReport, GradesTemperatureAtInclusiveBoundariesUnderEachThermalState) {
    using enum HeatLevel;
    using T = ThermalLevel;
    const std::tuple<T, std::optional<double>, HeatLevel> cases[] = {
        {T::nominal, 74.9, cool},      {T::nominal, 75.0, warm},     {T::nominal, 87.9, warm},
        {T::nominal, 88.0, hot},       {T::nominal, 95.0, critical}, {T::nominal, std::nullopt, cool},
        {T::fair, std::nullopt, warm}, {T::fair, 60, warm},          {T::fair, 88, hot},
        {T::serious, 90, hot},         {T::serious, 96, critical},   {T::critical, 40, critical},
    };
    for (const auto& [thermal, celsius, level] : cases)
        EXPECT_EQ(HeatReport::diagnose({thermal, celsius, 20.0, std::nullopt, 10, 0, {}}),
                  (HeatReport{level, celsius, 20.0, std::nullopt, {}}))
            << name(thermal) << " " << celsius.value_or(-1);
}

TEST(HeatReport, WorksHardOnlyFromCoolAndSkipsSymptoms) {
    using enum HeatLevel;
    const AppUsage builder = app("builder", 200), kernel = app("kernel_task", 400),
                   linux = app("Linux kernel", 400);
    const std::tuple<const char*, HeatInputs, HeatReport> cases[] = {
        {"cpu at 50", load(nominal, {}, 50), {workingHard}},
        {"gpu at 59.9", load(nominal, {}, 0, 59.9), {cool}},
        {"app on two cores", load(nominal, {builder}), {workingHard, {}, {}, {}, {cause(builder)}}},
        {"kernel threads", load(nominal, {kernel, linux}), {cool}},
        {"never lowers warm", load(fair, {}, 90, 90), {warm}},
    };
    for (const auto& [label, inputs, report] : cases)
        EXPECT_EQ(HeatReport::diagnose(inputs), report) << label;
}

TEST(HeatReport, FiltersByLevelRanksByScoreAndPlacesCharging) {
    const AppUsage mild = app("mild", 20, 0, 15), a = app("a", 60, 0, 20), b = app("b", 100),
                   c = app("c", 300), d = app("d", 30, 0, 40), e = app("e", 99.9, 0, 29.9);
    const auto charging = [](double watts) { return HeatCause{HeatCauses::Charging{watts}}; };
    const std::tuple<const char*, HeatInputs, std::vector<HeatCause>> cases[] = {
        {"warm keeps score 50", load(fair, {mild}), {cause(mild)}},
        {"working hard does not", load(nominal, {mild, e}, 60), {}},
        // b and a both score 100: the higher CPU wins, and a drops out with mild.
        {"top three", load(fair, {mild, a, b, c, d}), {cause(c), cause(d), cause(b)}},
        {"slow charging", {nominal, {}, 10.0, 29.9, 0, 0, {c}}, {cause(c)}},
        {"equal draw", {nominal, {}, 40.0, 40.0, 0, 0, {c}}, {charging(40), cause(c)}},
        {"load outruns the charger", {nominal, {}, 50.0, 40.0, 0, 0, {c}}, {cause(c), charging(40)}},
        {"no system reading", {nominal, {}, {}, 40.0, 0, 0, {c}}, {cause(c), charging(40)}},
        {"charging alone", {nominal, {}, {}, 30.0, 0, 0, {}}, {charging(30)}},
    };
    for (const auto& [label, inputs, causes] : cases)
        EXPECT_EQ(HeatReport::diagnose(inputs).causes, causes) << label;
    EXPECT_EQ((HeatReport{HeatLevel::hot, {}, {}, {}, {charging(40)}}).culprit(), std::nullopt);
}

TEST(HeatReport, PresentsLevelsAndChargingInLinuxWords) {
    using enum HeatLevel;
    const std::tuple<HeatLevel, const char*, SystemTint, const char*> cases[] = {
        {cool, "Temperature normal", SystemTint::green, "thermometer-simple"},
        {workingHard, "Your computer is working hard", SystemTint::orange, "thermometer-simple"},
        {hot, "Your computer is running hot", SystemTint::red, "fire"}};
    for (const auto& [level, text, color, symbol] : cases)
        EXPECT_EQ(std::tuple(headline(level), tint(level), icon(level)), std::tuple(text, color, symbol))
            << name(level);
    EXPECT_EQ(heatLevel(5), std::nullopt);
    EXPECT_EQ(HeatCauses::Charging{40.5}.title(), "Fast charging, 41 W");
}

}  // namespace
}  // namespace tarvik
