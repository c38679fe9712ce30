#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <optional>

#include "cli/DoctorCommand.hpp"
#include "cli/ListCommand.hpp"
#include "cli/StopCommand.hpp"
#include "cli/VitalsCommand.hpp"
#include "core/Version.hpp"
#include "support/RunCli.hpp"

namespace tarvik {
namespace {

TEST(CliHelp, TheVersionIsTheProjects) {
    auto said = test::runCli({"--version"});
    EXPECT_EQ(said.status, 0);
    EXPECT_EQ(said.out, "tarvik " TARVIK_VERSION "\n");
}

// The manual page is written from this text, so every command's options must be in it.
TEST(CliHelp, HelpAllShowsEveryCommandsOptions) {
    auto said = test::runCli({"--help-all"});
    ASSERT_EQ(said.status, 0) << said.err;
    for (const char* expected :
         {"list", "--probe", "--groups", "--interval", "--json", "stop", "--force", "--pid", "vitals",
          "doctor", "--samples", "storage", "clear", "--yes", "trash", "net"}) {
        EXPECT_NE(said.out.find(expected), std::string::npos) << expected;
    }
}

TEST(CliOptions, BadOnesGiveOneLineAndStatusTwo) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"list", "--bogus"}, "--bogus"},
        {{"list", "--interval", "-1"}, "seconds"},
        {{"list", "--interval", "soon"}, "seconds"},
        {{"stop", "0x10"}, "decimal"},
        {{"nonsense"}, "nonsense"},
    };
    for (const auto& [arguments, named] : cases) {
        SCOPED_TRACE(arguments.back());
        auto said = test::runCli(arguments);
        EXPECT_EQ(said.status, 2);
        EXPECT_EQ(std::ranges::count(said.err, '\n'), 1) << said.err;
        EXPECT_NE(said.err.find(named), std::string::npos) << said.err;
        EXPECT_TRUE(said.out.empty());
    }
}

// Every command with its numeric options, parsed as `tarvik` parses them.
struct Parsed {
    cli::StopOptions stop;
    cli::DoctorOptions doctor;
    cli::ListOptions list;
    cli::VitalsOptions vitals;
};

// The option the command line sets, or nullopt when it is refused.
std::optional<double> parsed(std::vector<std::string> arguments) {
    Parsed p;
    CLI::App app{"tarvik"};
    cli::addStopCommand(app, p.stop);
    cli::addDoctorCommand(app, p.doctor);
    cli::addListCommand(app, p.list);
    cli::addVitalsCommand(app, p.vitals);
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());  // as CLI11 takes a vector
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError&) {
        return std::nullopt;
    }
    if (arguments[0] == "stop") return static_cast<double>(p.stop.target);
    if (arguments[0] == "list") return p.list.interval;
    if (arguments[0] == "vitals") return p.vitals.interval;
    return arguments[1] == "--samples" ? p.doctor.samples : p.doctor.interval;
}

// A leading zero or a prefix never picks another base: "012345" is 12345, not the octal 5349.
TEST(CliOptions, NumbersAreReadInDecimalOnly) {
    const std::pair<std::vector<std::string>, std::optional<double>> cases[] = {
        {{"stop", "012345"}, 12345},
        {{"stop", "--pid", "0100"}, 100},
        {{"stop", "--port", "08080"}, 8080},
        {{"stop", "+3000"}, 3000},
        {{"stop", "0x10"}, std::nullopt},
        {{"stop", "0b11"}, std::nullopt},
        {{"stop", "1e3"}, std::nullopt},
        {{"stop", "abc"}, std::nullopt},
        {{"stop", "-5"}, std::nullopt},
        {{"stop", "0"}, std::nullopt},
        {{"stop", "0004194305"}, std::nullopt},
        {{"doctor", "--samples", "010"}, 10},
        {{"doctor", "--samples", "0x10"}, std::nullopt},
        {{"doctor", "--samples", "1"}, std::nullopt},
        {{"doctor", "--samples", "1e2"}, std::nullopt},
        {{"doctor", "--interval", "010"}, 10},
        {{"doctor", "--interval", "0x1p3"}, std::nullopt},
        {{"list", "--interval", "010"}, 10},
        {{"list", "--interval", "0x10"}, std::nullopt},
        {{"vitals", "--interval", "00.5"}, 0.5},
        {{"vitals", "--interval", "0X1"}, std::nullopt},
    };
    for (const auto& [arguments, value] : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        EXPECT_EQ(parsed(arguments), value);
    }
}

}  // namespace
}  // namespace tarvik
