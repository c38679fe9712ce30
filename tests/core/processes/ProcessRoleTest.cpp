#include <gtest/gtest.h>

#include "core/processes/ProcessRole.hpp"

namespace tarvik {
namespace {

// The build serves Linux, so every role reads in its Linux wording.
TEST(ProcessRoleTest, FirstMatchingRowWinsWithLinuxWording) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"Google Chrome Helper (Renderer)", "A tab or extension"},  // before the plain "Helper" suffix
        {"Slack Helper", "Background helper"},
        {"clang", "Compiling code"},
        {"Clang", std::nullopt},  // names compare case-sensitively
        {"nodes", std::nullopt},  // and whole
        {"kernel_task", "Linux itself, also holds the CPU back to cool it"},
        {"tarvik", "Tarvik, measuring your computer"},
        {"python3.11", "A script or server"},
        {"[kworker/0:1-events]", "Part of the Linux kernel"}};
    for (const auto& [name, expected] : cases) EXPECT_EQ(ProcessRole::describe(name), expected) << name;
}

}  // namespace
}  // namespace tarvik
