#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iterator>
#include <optional>
#include <sstream>

#include "cli/DoctorCommand.hpp"
#include "cli/ListCommand.hpp"
#include "cli/StopCommand.hpp"
#include "cli/VitalsCommand.hpp"
#include "support/RunCli.hpp"

namespace tarvik {
namespace {

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
        {{"nonsense"}, "nonsense"}};
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

// The option that `line` (words apart by spaces) sets, or nullopt when it is refused.
std::optional<double> parsed(const std::string& line) {
    Parsed p;
    CLI::App app{"tarvik"};
    cli::addStopCommand(app, p.stop);
    cli::addDoctorCommand(app, p.doctor);
    cli::addListCommand(app, p.list);
    cli::addVitalsCommand(app, p.vitals);
    std::istringstream in(line);
    std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    const auto command = words[0], option = words[1];
    std::reverse(words.begin(), words.end());  // as CLI11 takes a vector
    try {
        app.parse(words);
    } catch (const CLI::ParseError&) {
        return std::nullopt;
    }
    if (command == "stop") return static_cast<double>(p.stop.target);
    if (command == "list") return p.list.interval;
    if (command == "vitals") return p.vitals.interval;
    return option == "--samples" ? p.doctor.samples : p.doctor.interval;
}

// A leading zero or a prefix never picks another base: "012345" is 12345, not the octal 5349.
TEST(CliOptions, NumbersAreReadInDecimalOnly) {
    const std::pair<const char*, double> read[] = {
        {"stop 012345", 12345},      {"stop --pid 0100", 100},       {"stop --port 08080", 8080},
        {"stop +3000", 3000},        {"doctor --samples 010", 10},   {"doctor --interval 010", 10},
        {"list --interval 010", 10}, {"vitals --interval 00.5", 0.5}};
    for (const auto& [line, value] : read) EXPECT_EQ(parsed(line), value) << line;
    for (const char* line :
         {"stop 0x10", "stop 0b11", "stop 1e3", "stop abc", "stop -5", "stop 0", "stop 0004194305",
          "doctor --samples 0x10", "doctor --samples 1", "doctor --samples 1e2", "doctor --interval 0x1p3",
          "list --interval 0x10", "vitals --interval 0X1"})
        EXPECT_EQ(parsed(line), std::nullopt) << line;
}

}  // namespace
}  // namespace tarvik
