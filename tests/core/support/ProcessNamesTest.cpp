#include "core/support/CPUTime.hpp"
#include "core/support/ElapsedTime.hpp"
#include "core/support/ProcessNames.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(ProcessNames, VersionedInterpretersCarryNumbersJoinedBySingleDots) {
    const std::pair<std::string_view, bool> cases[] = {
        {"python3.11", true}, {"ruby3.1", true},     {"php8.2", true},       {"python3", true},
        {"python", false},    {"python3.", false},   {"python.3", false},    {"python3..11", false},
        {"python3.x", false}, {"pythonista", false}, {"Python3.11", false},  {"node18", false},
        {"perl5.36", false},  {"ruby3.1-x", false},  {"xpython3.11", false}, {"", false}};
    for (const auto& [name, versioned] : cases)
        EXPECT_EQ(ProcessNames::isVersionedInterpreter(name), versioned) << name;
}

TEST(ProcessNames, KernelThreadsAreBracketedNonEmptyNames) {
    const std::pair<std::string_view, bool> cases[] = {{"[kworker/0:1-events]", true},
                                                       {"[x]", true},
                                                       {"[]", false},
                                                       {"[x", false},
                                                       {"x]", false},
                                                       {"kworker", false}};
    for (const auto& [name, kernel] : cases) EXPECT_EQ(ProcessNames::isKernelThread(name), kernel) << name;
}

// Both read ps's clock forms, but only CPU time takes fractions and only elapsed time trims.
TEST(ProcessTime, parsersReadTheirPsFormsAndRejectTheRest) {
    struct Case {
        std::string text;
        std::optional<int> elapsed;
        std::optional<double> cpu;
    } cases[] = {{"00:05", 5, 5.0},
                 {"01:02:03", 3'723, 3'723.0},
                 {"1-02:03:04", 93'784, 93'784.0},
                 {" \t10-00:00:00 ", 864'000, std::nullopt},
                 {"1:02.50", std::nullopt, 62.5},
                 {"0:00.005", std::nullopt, 0.01},
                 {"24855-03:14:07", 2'147'483'647, 2'147'483'647.0},
                 {"24855-03:14:08", std::nullopt, 2'147'483'648.0},
                 {"-1:00", 60, std::nullopt},
                 {"", std::nullopt, std::nullopt},
                 {"1-2-03:04", std::nullopt, std::nullopt},
                 {"12", std::nullopt, std::nullopt},
                 {"1:2:3:4", std::nullopt, std::nullopt}};
    for (const Case& c : cases) {
        EXPECT_EQ(ElapsedTime::parse(c.text), c.elapsed) << c.text;
        EXPECT_EQ(CPUTime::parse(c.text), c.cpu) << c.text;
    }
}

TEST(ProcessTime, elapsedLabelShowsTheLargestUnitAndTheNextUnlessItIsZero) {
    const std::pair<int, std::string> cases[] = {{-5, "-5s"},       {59, "59s"},         {60, "1m"},
                                                 {3'599, "59m"},    {3'600, "1h"},       {7'259, "2h"},
                                                 {7'500, "2h 5m"},  {86'399, "23h 59m"}, {89'999, "1d"},
                                                 {90'000, "1d 1h"}, {100'800, "1d 4h"}};
    for (const auto& [seconds, label] : cases) EXPECT_EQ(ElapsedTime::label(seconds), label) << seconds;
}

}  // namespace
}  // namespace tarvik
