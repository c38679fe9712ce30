#include "core/support/RateMeter.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace tarvik {
namespace {

using namespace std::chrono_literals;

TEST(RateMeter, GivesPerSecondRatesAndRecoversAfterAResetOrAcrossAWrap) {
    using Step =
        std::tuple<const char*, std::uint64_t, int, std::optional<std::uint64_t>, std::optional<double>>;
    const Step steps[] = {{"first reading", 1000, 0, {}, {}},
                          {"no growth", 1000, 1, {}, 0.0},
                          {"growth", 3000, 3, {}, 1000.0},
                          {"went back without a wrap point: a reset", 10, 4, {}, {}},
                          {"counts from the reset value", 510, 5, {}, 500.0},
                          {"no time passed", 600, 5, {}, {}},
                          {"wrapped past 1000", 100, 6, 1000, 500.0},
                          {"a previous value beyond the wrap point is a reset", 50, 7, 20, {}}};
    RateMeter meter;
    const Date t = Date{} + 1000h;
    for (const auto& [what, value, seconds, wrapsAt, rate] : steps)
        EXPECT_EQ(meter.update(value, t + std::chrono::seconds(seconds), wrapsAt), rate) << what;
}

}  // namespace
}  // namespace tarvik
