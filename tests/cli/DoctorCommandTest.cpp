#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>

#include "core/support/Spawn.hpp"
#include "support/ProcStat.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

using nlohmann::json;

// Four spinners keep both cores busy however loaded the machine is, so the report finds it working
// hard and names its busiest app; the averages skip the first sample, whose lack of rates would halve them.
TEST(DoctorCommand, FindsABusyMachineWorkingHardAndAveragesTheSamplesWithRates) {
    test::TestProcess spinners({"/usr/bin/perl", "-e", "$| = 1; fork; fork; print qq($$\\n); 1 while 1"});
    std::vector<pid_t> pids;
    for (int i = 0; i < 4; ++i) pids.push_back(std::stoi(spinners.firstLine()));
    auto ticks = [&] {
        std::uint64_t sum = 0;
        for (pid_t pid : pids) sum += test::procStat(pid).value().cpuTicks;
        return sum;
    };
    const auto before = ticks();
    const auto start = std::chrono::steady_clock::now();
    auto result = Spawn::run(TARVIK_BINARY, {"doctor", "--json", "--samples", "2", "--interval", "1"});
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // What the spinners really got over the whole run, which holds the measured second.
    double percent = static_cast<double>(ticks() - before) /
                     static_cast<double>(test::clockTicksPerSecond()) / seconds * 100;
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
    auto apps = report["apps"];
    auto perl = std::find_if(apps.begin(), apps.end(), [](const json& app) { return app["app"] == "perl"; });
    ASSERT_NE(perl, apps.end()) << result.output;
    EXPECT_GT((*perl)["cpuPercent"].get<double>(), 0.7 * percent) << "the kernel counted " << percent << " %";

    auto readable = Spawn::run(TARVIK_BINARY, {"doctor", "--samples", "2", "--interval", "0.2"});
    ASSERT_EQ(readable.status, 0);
    auto firstLine = readable.output.substr(0, readable.output.find('\n'));
    EXPECT_EQ(firstLine.find('('), std::string::npos) << "the headline alone, without the level's code name";
    EXPECT_NE(readable.output.find("Findings"), std::string::npos);
    EXPECT_EQ(readable.output.find("nan"), std::string::npos);
}

}  // namespace
}  // namespace tarvik
