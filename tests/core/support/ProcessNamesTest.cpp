#include "core/support/ProcessNames.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(ProcessNames, VersionedInterpretersCarryNumbersJoinedBySingleDots) {
    const std::pair<std::string_view, bool> cases[] = {
        {"python3.11", true}, {"ruby3.1", true},     {"php8.2", true},       {"python3", true},
        {"python", false},    {"python3.", false},   {"python.3", false},    {"python3..11", false},
        {"python3.x", false}, {"pythonista", false}, {"Python3.11", false},  {"node18", false},
        {"perl5.36", false},  {"ruby3.1-x", false},  {"xpython3.11", false}, {"", false},
    };
    for (const auto& [name, versioned] : cases)
        EXPECT_EQ(ProcessNames::isVersionedInterpreter(name), versioned) << name;
}

TEST(ProcessNames, KernelThreadsAreBracketedNonEmptyNames) {
    const std::pair<std::string_view, bool> cases[] = {
        {"[kworker/0:1-events]", true},
        {"[x]", true},
        {"[]", false},
        {"[x", false},
        {"x]", false},
        {"kworker", false},
    };
    for (const auto& [name, kernel] : cases) EXPECT_EQ(ProcessNames::isKernelThread(name), kernel) << name;
}

}  // namespace
}  // namespace tarvik
