#include <gtest/gtest.h>

#include <chrono>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "core/support/Spawn.hpp"
#include "support/ProcStat.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

using nlohmann::json;

// Four spinning processes keep both cores busy however loaded the machine already is, so the
// report must find the machine working hard and name the app busiest on it. Which app that is
// depends on what else runs here; naming the right one is DoctorReportTest's part.
TEST(DoctorCommand, FindsABusyMachineWorkingHard) {
    test::TestProcess spinner({"/usr/bin/perl", "-e", "$| = 1; fork; fork; print qq(ready\\n); 1 while 1"});
    ASSERT_EQ(spinner.firstLine(), "ready");
    auto result = Spawn::run(TARVIK_BINARY, {"doctor", "--json", "--samples", "4", "--interval", "0.5"});
    ASSERT_EQ(result.status, 0);
    auto report = json::parse(result.output);
    EXPECT_NE(report["heat"]["level"], "cool") << result.output;
    auto findings = report["findings"];
    auto cpu =
        std::find_if(findings.begin(), findings.end(), [](const json& f) { return f["kind"] == "cpu"; });
    ASSERT_NE(cpu, findings.end()) << result.output;
    ASSERT_TRUE((*cpu)["app"].is_string()) << result.output;
    EXPECT_NE(
        (*cpu)["detail"].get<std::string>().find((*cpu)["app"].get<std::string>() + " is using the most"),
        std::string::npos)
        << result.output;
}

// The averages start from the second sample: the first has no rates, and averaged in it would
// halve a busy app's CPU with two samples.
TEST(DoctorCommand, AveragesAppsOverTheSamplesThatHaveRates) {
    test::TestProcess spinner({"/usr/bin/perl", "-e", "$| = 1; print qq(ready\\n); 1 while 1"});
    ASSERT_EQ(spinner.firstLine(), "ready");
    auto before = test::procStat(spinner.pid());
    auto start = std::chrono::steady_clock::now();
    auto result = Spawn::run(TARVIK_BINARY, {"doctor", "--json", "--samples", "2", "--interval", "1"});
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto after = test::procStat(spinner.pid());
    ASSERT_EQ(result.status, 0);
    ASSERT_TRUE(before && after);
    // What the spinner really got over the whole run, which holds the measured second.
    double percent = static_cast<double>(after->cpuTicks - before->cpuTicks) /
                     static_cast<double>(test::clockTicksPerSecond()) / seconds * 100;
    auto report = json::parse(result.output);
    auto apps = report["apps"];
    auto perl = std::find_if(apps.begin(), apps.end(), [](const json& app) { return app["app"] == "perl"; });
    ASSERT_NE(perl, apps.end()) << result.output;
    EXPECT_GT((*perl)["cpuPercent"].get<double>(), 0.7 * percent) << "the kernel counted " << percent << " %";
}

TEST(DoctorCommand, PrintsAReadableReport) {
    auto result = Spawn::run(TARVIK_BINARY, {"doctor", "--samples", "2", "--interval", "0.2"});
    ASSERT_EQ(result.status, 0);
    auto firstLine = result.output.substr(0, result.output.find('\n'));
    EXPECT_EQ(firstLine.find('('), std::string::npos) << "the headline alone, without the level's code name";
    EXPECT_NE(result.output.find("Findings"), std::string::npos);
    EXPECT_EQ(result.output.find("nan"), std::string::npos);
}

}  // namespace
}  // namespace tarvik
