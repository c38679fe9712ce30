#include "core/analysis/DoctorReport.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "core/analysis/AppExplainer.hpp"
#include "core/analysis/Builders.hpp"
#include "core/analysis/Diagnosis.hpp"
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

TEST(DoctorReport, NamesTheBusiestCardInTheGpuFinding) {
    Recording recording;
    SystemVitals vitals = calm();
    vitals.gpu = 85;
    vitals.gpus = {{.name = "Mac Card", .busyPercent = 85}, {.name = "NVIDIA RTX A2000", .busyPercent = 20}};
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
            v.memory->available = v.memory->total - v.memory->app;
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
        {"97% of the cgroup's limit", {{0, nothing}, {1, inCgroup(0.97)}}, {"memory/critical"}}};
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
        {T::serious, 90, hot},         {T::serious, 96, critical},   {T::critical, 40, critical}};
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
        {"never lowers warm", load(fair, {}, 90, 90), {warm}}};
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
        {"charging alone", {nominal, {}, {}, 30.0, 0, 0, {}}, {charging(30)}}};
    for (const auto& [label, inputs, causes] : cases)
        EXPECT_EQ(HeatReport::diagnose(inputs).causes, causes) << label;
    EXPECT_EQ((HeatReport{HeatLevel::hot, {}, {}, {}, {charging(40)}}).culprit(), std::nullopt);
}

TEST(HeatReport, SpeaksLinuxWordsRejectsAnUnknownLevelAndRoundsTheChargingWatts) {
    EXPECT_EQ(headline(HeatLevel::workingHard), "Your computer is working hard");
    EXPECT_EQ(heatLevel(5), std::nullopt);
    EXPECT_EQ(HeatCauses::Charging{40.5}.title(), "Fast charging, 41 W");
    EXPECT_TRUE(normalTemperatureNote().starts_with("Temperature is normal. ") &&
                normalTemperatureNote().find("Apple") == std::string::npos);
}

DiagnosisInputs quiet() {
    DiagnosisInputs inputs;
    inputs.systemCPU = 10;
    inputs.gpu = 5;
    inputs.disk = DiskSpace{50, 100};
    return inputs;
}

TEST(Diagnosis, FindingsComeInTheirFixedOrderWithTheirBoundaries) {
    struct Case {
        const char* label;
        std::function<void(DiagnosisInputs&)> change;
        std::vector<std::string> expected;
    };
    const auto disk = [](std::uint64_t free, std::uint64_t total) {
        return [=](DiagnosisInputs& i) { i.disk = DiskSpace{free, total}; };
    };
    const Case cases[] = {
        {"cpu 69.9", [](auto& i) { i.systemCPU = 69.9; }, {"allClear/calm"}},
        {"cpu 90", [](auto& i) { i.systemCPU = 90; }, {"cpu/warning"}},
        {"disk 9.99 %", disk(999, 10000), {"disk/notice"}},
        {"disk 10 %", disk(10, 100), {"allClear/calm"}},
        {"disk of no size", disk(0, 0), {"allClear/calm"}},
        {"battery without watts", [](auto& i) { i.onBattery = true; }, {"allClear/calm"}},
        {"everything",
         [](auto& i) {
             i.pressure = MemoryPressure::critical, i.heat.level = HeatLevel::hot, i.systemCPU = 95;
             i.gpu = 80, i.onBattery = true, i.systemWatts = 30, i.disk = DiskSpace{1, 100};
         },
         {"memory/critical", "heat/critical", "cpu/warning", "gpu/notice", "battery/warning", "disk/notice"}},
    };
    for (const auto& c : cases) {
        auto inputs = quiet();
        c.change(inputs);
        EXPECT_EQ(kinds(Diagnosis::evaluate(inputs)), c.expected) << c.label;
    }
}

TEST(Diagnosis, MemoryNearItsTotalIsTightWithoutPressureAndNamesTheCgroupLimit) {
    auto inputs = quiet();
    inputs.memoryTotal = 2u << 30;
    inputs.memoryUsed = inputs.memoryTotal / 100 * 97;
    inputs.memoryLimitedBy = "/system.slice/build.service";
    inputs.apps = {app("cc1plus", 90, 1u << 30)};
    auto findings = Diagnosis::evaluate(inputs);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].kind, Finding::Kind::memory);
    EXPECT_EQ(findings[0].severity, Finding::Severity::critical);
    EXPECT_EQ(findings[0].detail,
              "cc1plus is using the most, 1 GB. 97% of the memory limit of cgroup "
              "/system.slice/build.service (2 GB) is in use; at the limit the kernel kills its processes.");

    inputs.memoryLimitedBy.reset();
    inputs.memoryUsed = inputs.memoryTotal / 100 * 91;
    findings = Diagnosis::evaluate(inputs);
    EXPECT_EQ(findings[0].severity, Finding::Severity::warning);
    EXPECT_EQ(findings[0].detail, "cc1plus is using the most, 1 GB. 91% of memory is in use.");

    inputs.memoryUsed = inputs.memoryTotal / 100 * 89;
    EXPECT_EQ(Diagnosis::evaluate(inputs)[0].kind, Finding::Kind::allClear);
    inputs.memoryTotal = 0;
    inputs.memoryUsed = 5;
    EXPECT_EQ(Diagnosis::evaluate(inputs)[0].kind, Finding::Kind::allClear)
        << "an unknown total finds nothing";
}

TEST(Diagnosis, SentencesNameTheLeaders) {
    auto inputs = quiet();
    inputs.pressure = MemoryPressure::warning;
    inputs.systemCPU = 91;
    inputs.apps = {app("kernel_task", 500, 1 << 20), app("node", 150.5, 3u << 30),
                   app("Linux kernel", 400, 0)};
    auto findings = Diagnosis::evaluate(inputs);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].title, "Memory is tight");
    EXPECT_EQ(findings[0].detail,
              "node is using the most, 3 GB. Linux is dropping cached files to make room.")
        << "nothing is compressed without zram or zswap";
    inputs.compressedBytes = 1 << 20;
    EXPECT_EQ(Diagnosis::evaluate(inputs)[0].detail,
              "node is using the most, 3 GB. Linux is compressing memory to make room.");
    EXPECT_EQ(findings[1].detail, "91% of the whole computer. node is using the most, 151% of a core.")
        << "the kernel is a symptom, never the top CPU";

    inputs = quiet();
    inputs.heat.level = HeatLevel::warm;
    inputs.heat.chipCelsius = 80.4;
    auto busy = app("node", 120, 1);
    inputs.heat.causes = {HeatCauses::Charging{45.5}, HeatCauses::App{busy}};
    findings = Diagnosis::evaluate(inputs);
    EXPECT_EQ(findings[0].title, "Your computer is warm");
    EXPECT_EQ(findings[0].detail, "The chip is at 80 °C. Fast charging (46 W) is the main cause.");
    EXPECT_EQ(findings[0].app->name, "node") << "the charging cause leads the text, the app is pointed at";
    inputs.heat.causes = {HeatCauses::App{busy}};
    inputs.heat.chipCelsius = NAN;
    EXPECT_EQ(Diagnosis::evaluate(inputs)[0].detail,
              AppExplainer::explain(busy).title + " is the main cause.")
        << "a value that is not a number leaves its sentence out";

    inputs = quiet();
    inputs.onBattery = true;
    inputs.systemWatts = 25;
    inputs.apps = {app("a", 90), app("b", 1, 4u << 30)};
    const auto battery = Diagnosis::evaluate(inputs)[0];
    EXPECT_EQ(battery.detail, "Your computer is drawing 25 W.");
    EXPECT_FALSE(battery.app) << "without power per app, no app is named";
    inputs = quiet();
    inputs.gpu = 60;
    EXPECT_EQ(Diagnosis::evaluate(inputs)[0].detail, "") << "no apps: an empty detail";
}

ProcessRecord process(std::string path, double cpu) {
    return {1, 1, std::move(path), {}, cpu, 0};
}

AppUsage app(std::string name, std::vector<ProcessRecord> processes = {}, bool isSystem = false) {
    return {std::move(name), {}, 0, 0, 0, 0, isSystem, {}, std::move(processes)};
}

// A row of one interpreter's processes that run one script.
AppUsage scriptRow(std::string script, std::string interpreter, bool isSystem) {
    AppUsage usage = app(script + " (" + interpreter + ")", {}, isSystem);
    usage.script = std::move(script);
    usage.interpreter = std::move(interpreter);
    return usage;
}

// The build serves Linux: every text reads in its Linux wording.
TEST(AppExplainer, HostRuleThenRulesInOrderThenFallbacks) {
    const std::string general = "If you aren't using it, quitting it frees up the processor and memory.";
    const std::string settles = "It settles once that finishes. Stop it there if you don't need it.";
    // Nothing holds a Linux processor back to cool it: the kernel's threads are explained as its work.
    const AppExplanation kernel{"Linux kernel at work",
                                "The kernel's own threads are moving data for disks, the network and memory "
                                "on behalf of other apps. It's a sign of what they do, not the cause.",
                                "Look at the next busiest app instead.", false};
    const std::string script =
        "A script or dev server is running. Builds, file watchers, and loops can keep it busy.";
    const std::pair<AppUsage, AppExplanation> cases[] = {
        {app("Google Chrome"),
         {"Google Chrome", "A tab playing video, a busy web app, or a page full of ads usually causes this.",
          "Close tabs you aren't using, or quit the browser and open it again.", true}},
        {app("kernel_task"), kernel},
        // Names no rule lists take the rule of their shape: a kernel thread, a versioned interpreter.
        {app("[kworker/0:1]"), kernel},
        {app("Python3.12"), {"Python3.12", script, "Stop it if you aren't using it.", true}},
        // A script's row: its own name first, then its interpreter's.
        {scriptRow("serve.py", "python3.11", false),
         {"serve.py (python3.11)", script, "Stop it if you aren't using it.", true}},
        {scriptRow("unattended-upgrade", "python3", true),
         {"Linux update", "Linux is downloading or preparing an update.",
          "Let it finish, or install the update when it's ready.", false}},
        {app("Terminal", {process("/x/Terminal", 1), process("/x/node", 80)}),
         {"Terminal", "Most of this is node, a JavaScript program or dev server, started from Terminal.",
          settles, true}},
        // Below 5 % the host rule gives way, and no rule names "terminal".
        {app("Terminal", {process("/x/Terminal", 1), process("/x/node", 4)}),
         {"Terminal", "Most of it is Terminal.", general, true}},
        // Only the first child counts, however busy the next one is.
        {app("Terminal", {process("/bin/bash", 2), process("/usr/bin/node", 90)}),
         {"Terminal", "Most of it is bash, a terminal shell.", general, true}},
        // On Linux VS Code runs as "code": that is the host, not a child it started.
        {app("Visual Studio Code", {process("/usr/share/code/code", 40), process("/usr/bin/python3.11", 6)}),
         {"Visual Studio Code",
          "Most of this is python3.11, a script or server, started from Visual Studio Code.", settles, true}},
        {app("gnome-shell", {}, true),
         {"gnome-shell",
          "It draws everything on your screens. Many open windows, external displays, or animations make it "
          "work harder.",
          "Close windows you aren't using, or turn off animations in your desktop's settings.", false}},
        {app("thermald", {process("/usr/sbin/thermald", 3)}, true),
         {"thermald", "This is part of Linux, doing background work.",
          "It usually settles down by itself. If it doesn't, restarting the computer helps.", false}},
        {app("Slack", {process("/usr/lib/slack/slack", 40)}),
         {"Slack", "It's one of the busiest apps right now.", general, true}},
        {app("Builder", {process("/usr/bin/clang", 50), process("/opt/builder", 1)}),
         {"Builder", "Most of it is clang, compiling code.", general, true}},
        {app("Builder", {process("/usr/bin/clang", 0.9), process("/opt/builder", 0)}),
         {"Builder", "It's one of the busiest apps right now.", general, true}}};
    for (const auto& [usage, expected] : cases)
        EXPECT_EQ(AppExplainer::explain(usage), expected) << usage.name;
}

}  // namespace
}  // namespace tarvik
