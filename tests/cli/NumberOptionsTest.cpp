#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <optional>

#include "cli/DoctorCommand.hpp"
#include "cli/ListCommand.hpp"
#include "cli/StopCommand.hpp"
#include "cli/VitalsCommand.hpp"

namespace tarvik {
namespace {

// Every command with its numeric options, parsed as `tarvik` parses them.
struct Parsed {
    cli::StopOptions stop;
    cli::DoctorOptions doctor;
    cli::ListOptions list;
    cli::VitalsOptions vitals;
};

// The options, or nullopt when the command line is refused.
std::optional<Parsed> parse(std::vector<std::string> arguments) {
    auto parsed = std::make_optional<Parsed>();
    CLI::App app{"tarvik"};
    cli::addStopCommand(app, parsed->stop);
    cli::addDoctorCommand(app, parsed->doctor);
    cli::addListCommand(app, parsed->list);
    cli::addVitalsCommand(app, parsed->vitals);
    arguments.insert(arguments.begin(), "tarvik");
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError&) {
        return std::nullopt;
    }
    return parsed;
}

// A leading zero or a prefix never picks another base: "012345" is 12345, not the octal 5349.
TEST(NumberOptions, AreReadInDecimalOnly) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<double> value;  // nullopt: refused
        std::function<double(const Parsed&)> read;
    };
    auto target = [](const Parsed& p) { return static_cast<double>(p.stop.target); };
    auto samples = [](const Parsed& p) { return static_cast<double>(p.doctor.samples); };
    auto doctorInterval = [](const Parsed& p) { return p.doctor.interval; };
    auto listInterval = [](const Parsed& p) { return p.list.interval; };
    auto vitalsInterval = [](const Parsed& p) { return p.vitals.interval; };
    const std::vector<Case> cases{
        {{"stop", "012345"}, 12345, target},
        {{"stop", "--pid", "0100"}, 100, target},
        {{"stop", "--port", "08080"}, 8080, target},
        {{"stop", "+3000"}, 3000, target},
        {{"stop", "0x10"}, std::nullopt, target},
        {{"stop", "0b11"}, std::nullopt, target},
        {{"stop", "0004194305"}, std::nullopt, target},
        {{"doctor", "--samples", "010"}, 10, samples},
        {{"doctor", "--samples", "0x10"}, std::nullopt, samples},
        {{"doctor", "--samples", "1"}, std::nullopt, samples},
        {{"doctor", "--samples", "1e2"}, std::nullopt, samples},
        {{"doctor", "--interval", "010"}, 10, doctorInterval},
        {{"doctor", "--interval", "0x1p3"}, std::nullopt, doctorInterval},
        {{"list", "--interval", "010"}, 10, listInterval},
        {{"list", "--interval", "0x10"}, std::nullopt, listInterval},
        {{"vitals", "--interval", "00.5"}, 0.5, vitalsInterval},
        {{"vitals", "--interval", "0X1"}, std::nullopt, vitalsInterval},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& argument : c.arguments) line += argument + " ";
        SCOPED_TRACE(line);
        auto parsed = parse(c.arguments);
        ASSERT_EQ(parsed.has_value(), c.value.has_value());
        if (parsed) {
            EXPECT_EQ(c.read(*parsed), *c.value);
        }
    }
}

}  // namespace
}  // namespace tarvik
