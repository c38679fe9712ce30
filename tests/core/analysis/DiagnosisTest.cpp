#include "core/analysis/Diagnosis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "core/analysis/AppExplainer.hpp"
#include "core/analysis/Builders.hpp"

namespace tarvik {
namespace {

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

TEST(Diagnosis, SentencesNameTheLeadersInThePlatformsWords) {
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
    inputs.apps = {app("a", 1, 1, 0, 1500), app("b", 1, 1, 0, 2549)};
    EXPECT_EQ(Diagnosis::evaluate(inputs)[0].detail,
              "Your computer is drawing 25 W. b is drawing the most, 2.5 W.");
    inputs = quiet();
    inputs.gpu = 60;
    EXPECT_EQ(Diagnosis::evaluate(inputs)[0].detail, "") << "no apps: an empty detail";
}

ProcessRecord process(std::string path, double cpu) {
    return {1, 1, std::move(path), {}, cpu, 0, std::nullopt};
}

AppUsage app(std::string name, std::vector<ProcessRecord> processes = {}, bool isSystem = false) {
    return {std::move(name), {}, 0, 0, 0, 0, isSystem, {}, {}, std::move(processes)};
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
        {app("Xcode", {process("/x/Xcode", 10), process("/x/swift-frontend", 300)}),
         {"Xcode", "Most of this is swift-frontend, compiling Swift code, started from Xcode.", settles,
          true}},
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
         {"Builder", "It's one of the busiest apps right now.", general, true}},
    };
    for (const auto& [usage, expected] : cases)
        EXPECT_EQ(AppExplainer::explain(usage), expected) << usage.name;
}

}  // namespace
}  // namespace tarvik
