#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/support/Spawn.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

using nlohmann::json;

TEST(DoctorCommand, NamesTheProcessThatKeepsTheCoresBusy) {
    // Four spinning processes of one program: more than two cores' worth of demand, so they keep
    // both cores busy even beside another test.
    test::TestProcess spinner({"/usr/bin/perl", "-e", "$| = 1; fork; fork; print qq(ready\\n); 1 while 1"});
    ASSERT_EQ(spinner.firstLine(), "ready");
    auto result = Spawn::run(TARVIK_BINARY, {"doctor", "--json", "--samples", "4", "--interval", "0.5"});
    ASSERT_EQ(result.status, 0);
    auto report = json::parse(result.output);
    EXPECT_EQ(report["heat"]["level"], "workingHard") << result.output;
    ASSERT_FALSE(report["heat"]["causes"].empty()) << result.output;
    EXPECT_EQ(report["heat"]["causes"][0]["app"], "perl");
    EXPECT_EQ(report["heat"]["headline"], "Your computer is working hard");
    ASSERT_FALSE(report["findings"].empty());
    EXPECT_EQ(report["findings"][0]["kind"], "cpu");
}

TEST(DoctorCommand, PrintsAReadableReportOnAQuietRun) {
    auto result = Spawn::run(TARVIK_BINARY, {"doctor", "--samples", "2", "--interval", "0.2"});
    ASSERT_EQ(result.status, 0);
    auto firstLine = result.output.substr(0, result.output.find('\n'));
    EXPECT_TRUE(firstLine.ends_with("(cool)") || firstLine.ends_with("(workingHard)")) << result.output;
    EXPECT_NE(result.output.find("Findings"), std::string::npos);
    EXPECT_EQ(result.output.find("nan"), std::string::npos);
}

}  // namespace
}  // namespace tarvik
