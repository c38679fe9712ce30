#include "core/analysis/DoctorReport.hpp"

#include <gtest/gtest.h>

#include <functional>

#include "core/analysis/Builders.hpp"
#include "core/analysis/HeatReport.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

constexpr double MiB = 1024 * 1024;

// A sample of a calm machine: every reading present, nothing close to a finding.
SystemVitals calm(double busy = 0.1) {
    SystemVitals vitals;
    vitals.cpu = CPULoad{busy, busy, 0};
    vitals.gpu = 5;
    vitals.disk = DiskSpace{50, 100};
    vitals.swapOutPerSecond = 0;
    return vitals;
}

// Scripted samples recorded as the doctor records the machine's, at seconds the test picks.
struct Recording {
    VitalsRecorder recorder;
    DoctorSample latest;
    Date now{};

    void record(int seconds, SystemVitals vitals, MemoryPressure pressure = MemoryPressure::normal) {
        now = at(seconds) + 1000h;
        auto apps = recorder.record(vitals, MemoryUsage{1u << 30, 8u << 30}, {}, now);
        latest = {std::move(vitals), std::move(apps), pressure};
    }
    [[nodiscard]] DoctorReport report() const { return DoctorReport::assemble(recorder, latest, now); }
};

// The GPU finding names the card that keeps it busy, in its own words.
TEST(DoctorReport, NamesTheBusiestCardInTheGpuFinding) {
    Recording recording;
    SystemVitals vitals = calm();
    vitals.gpu = 85;
    vitals.gpus.resize(2);
    vitals.gpus[0].name = "Mac Card";
    vitals.gpus[0].busyPercent = 85;
    vitals.gpus[1].name = "NVIDIA RTX A2000";
    vitals.gpus[1].busyPercent = 20;
    recording.record(0, vitals);
    recording.record(60, vitals);
    auto report = recording.report();
    ASSERT_FALSE(report.findings.empty());
    EXPECT_EQ(report.findings[0].id(), "gpu");
    EXPECT_EQ(report.findings[0].detail, "Mac Card is 85% busy.") << "the name stays as the card gives it";

    vitals.gpus[0].busyPercent = 70;  // the headline comes from elsewhere: no card is named
    recording.record(120, vitals);
    EXPECT_EQ(recording.report().findings[0].detail, "");
}

TEST(DoctorReport, NamesTheAppThatKeepsTheCoresBusyByItsAverage) {
    Recording recording;
    SystemVitals first;  // the first sample has no rates yet
    first.apps = {app("perl", 0), app("sh", 0)};
    recording.record(0, first);
    for (int second = 1; second <= 4; ++second) {
        auto busy = calm(1.0);
        busy.apps = {app("perl", 390), app("sh", 4)};
        recording.record(second, busy);
    }
    auto report = recording.report();
    const auto perl = recording.latest.apps.at(0);
    EXPECT_EQ(perl, app("perl", 4 * 390.0 / 5)) << "averaged over every sample, the first too";
    EXPECT_EQ(report.heat(), (HeatReport{HeatLevel::workingHard, {}, {}, {}, {HeatCauses::App{perl}}}));
    ASSERT_EQ(kinds(report.findings), std::vector<std::string>{"cpu/warning"});
    EXPECT_EQ(report.findings[0].app, perl);
    EXPECT_DOUBLE_EQ(report.inputs.systemCPU, 100);
}

TEST(DoctorReport, ReadsMeansOverTheirWindowsAndTheRestFromTheNewestSample) {
    struct Step {
        int seconds;
        std::function<void(SystemVitals&)> change;
    };
    const auto nothing = [](SystemVitals&) {};
    const auto busy = [](double f) { return [=](SystemVitals& v) { v.cpu = CPULoad{f, f, 0}; }; };
    const auto gpu = [](double percent) { return [=](SystemVitals& v) { v.gpu = percent; }; };
    const auto swapping = [](double bytes) { return [=](SystemVitals& v) { v.swapOutPerSecond = bytes; }; };
    const auto thermal = [](ThermalLevel level) { return [=](SystemVitals& v) { v.thermal = level; }; };
    const auto lowDisk = [](SystemVitals& v) { v.disk = DiskSpace{5, 100}; };
    // Apps hold `share` of a 2 GiB cgroup limit: no machine-wide pressure shows it.
    const auto inCgroup = [](double share) {
        return [=](SystemVitals& v) {
            v.memory = MemoryBreakdown{};
            v.memory->total = 2048 * MiB;
            v.memory->app = static_cast<std::uint64_t>(share * 2048 * MiB);
            v.memoryLimitedBy = "/system.slice/build.service";
        };
    };
    const auto drawing = [](bool onPower) {
        return [=](SystemVitals& v) {
            v.battery = BatteryStatus{50, false, onPower}, v.power = PowerTelemetry{30.0};
        };
    };
    struct Case {
        const char* label;
        std::vector<Step> steps;
        std::vector<std::string> expected;
        MemoryPressure pressure = MemoryPressure::normal;
    };
    using T = ThermalLevel;
    using P = MemoryPressure;
    const Case cases[] = {
        // 75 and 65 make 70 within ten minutes; the newest alone, or with the sample before the
        // window, stays under it.
        {"cpu over ten minutes", {{0, busy(0)}, {601, busy(0.75)}, {660, busy(0.65)}}, {"cpu/notice"}},
        {"gpu over ten minutes", {{0, gpu(0)}, {601, gpu(70)}, {660, gpu(50)}}, {"gpu/notice"}},
        {"swap in the last minute", {{601, swapping(20 * MiB)}, {660, swapping(0)}}, {"memory/warning"}},
        {"swap before it", {{100, swapping(100 * MiB)}, {601, nothing}, {660, nothing}}, {"allClear/calm"}},
        {"pressure of the newest", {{0, nothing}, {1, nothing}}, {"memory/critical"}, P::critical},
        {"heat of the newest", {{0, thermal(T::critical)}, {1, thermal(T::fair)}}, {"heat/warning"}},
        {"disk of the newest", {{0, nothing}, {1, lowDisk}}, {"disk/notice"}},
        {"on battery at 30 W", {{0, nothing}, {1, drawing(false)}}, {"battery/warning"}},
        {"on the adapter at 30 W", {{0, nothing}, {1, drawing(true)}}, {"allClear/calm"}},
        // The thresholds are Diagnosis.MemoryNearItsTotalIsTightWithoutPressureAndNamesTheCgroupLimit's.
        {"97% of the cgroup's limit", {{0, nothing}, {1, inCgroup(0.97)}}, {"memory/critical"}},
    };
    for (const auto& c : cases) {
        Recording recording;
        for (const auto& step : c.steps) {
            auto vitals = calm();
            step.change(vitals);
            recording.record(step.seconds, vitals, c.pressure);
        }
        EXPECT_EQ(kinds(recording.report().findings), c.expected) << c.label;
    }
}

TEST(DoctorReport, HeatCarriesTheNewestReadingsAndFastCharging) {
    Recording recording;
    recording.record(0, calm());
    auto warm = calm();
    warm.thermal = ThermalLevel::fair;
    warm.chipCelsius = 81.0;
    warm.power = PowerTelemetry{20.0, 65.0, 45.0};
    warm.apps = {app("builder", 60)};  // 30 over the two samples: enough once warm
    recording.record(10, warm);
    auto report = recording.report();
    auto builder = recording.latest.apps.at(0);
    EXPECT_EQ(
        report.heat(),
        (HeatReport{
            HeatLevel::warm, 81.0, 20.0, 45.0, {HeatCauses::Charging{45.0}, HeatCauses::App{builder}}}));
}

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
