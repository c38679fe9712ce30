#include "core/platform/macos/GpuClients.hpp"

#include <gtest/gtest.h>

#include <utility>

namespace tarvik {
namespace {

TEST(GPUUsage, creatorNeedsThePrefixAndACommaAfterTheNumber) {
    const std::pair<std::string_view, std::optional<std::int32_t>> cases[] = {
        {"pid 412, WindowServer", 412}, {"pid 7,a,b", 7},    {"pid 412", {}},           {"pid , x", {}},
        {"process 412, x", {}},         {"pid 4 12, x", {}}, {"pid 3000000000, x", {}},
    };
    for (const auto& [text, pid] : cases) EXPECT_EQ(GPUUsage::creator(text), pid) << text;
}

}  // namespace
}  // namespace tarvik
