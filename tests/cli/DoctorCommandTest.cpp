#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "core/support/Spawn.hpp"
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

TEST(DoctorCommand, PrintsAReadableReport) {
    auto result = Spawn::run(TARVIK_BINARY, {"doctor", "--samples", "2", "--interval", "0.2"});
    ASSERT_EQ(result.status, 0);
    auto firstLine = result.output.substr(0, result.output.find('\n'));
    const std::string levels[] = {"(cool)", "(workingHard)", "(warm)", "(hot)", "(critical)"};
    EXPECT_TRUE(std::ranges::any_of(levels, [&](const std::string& level) {
        return firstLine.ends_with(level);
    })) << result.output;
    EXPECT_NE(result.output.find("Findings"), std::string::npos);
    EXPECT_EQ(result.output.find("nan"), std::string::npos);
}

}  // namespace
}  // namespace tarvik
