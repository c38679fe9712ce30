#include <gtest/gtest.h>

#include "core/processes/RateTracker.hpp"

namespace tarvik {

TEST(RateTracker, givesRatesOnlyAgainstAUsablePreviousReadingAndForgetsUnretainedPids) {
    struct Step {
        std::int32_t pid;
        double cpu;
        std::optional<std::uint64_t> energy;
        int at;
        std::optional<double> cpuPercent, milliwatts;  // no cpuPercent: no rates at all
    } steps[] = {
        {1, 10.0, 1'000'000'000, 0, {}, {}},  // first sighting
        {1, 10.5, 1'003'000'000, 2, 25.0, 1.5},
        {1, 10.5, {}, 2, {}, {}},               // no time passed
        {1, 11.0, 5'000'000'000, 4, 25.0, {}},  // no previous energy
        {1, 2.0, 6'000'000'000, 5, {}, {}},     // pid reused
        {1, 3.0, 5'000'000'000, 85, 1.3, {}},   // 1.25 % rounds up; energy went backwards
        {2, 0.0, {}, 85, {}, {}},
        {2, 0.0, {}, 90, 0.0, {}},  // idle is a rate of zero, not none
    };
    RateTracker tracker;
    auto update = [&](std::int32_t pid, double cpu, std::optional<std::uint64_t> energy, int at) {
        return tracker.update(pid, cpu, energy, Date{} + std::chrono::seconds(at));
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << "pid " << s.pid << " at " << s.at);
        auto rates = update(s.pid, s.cpu, s.energy, s.at);
        ASSERT_EQ(rates.has_value(), s.cpuPercent.has_value());
        if (!rates) continue;
        EXPECT_EQ(rates->cpuPercent, *s.cpuPercent);
        EXPECT_EQ(rates->milliwatts, s.milliwatts);
    }
    tracker.retain({2, 3});
    EXPECT_FALSE(update(1, 4.0, {}, 95).has_value());
    EXPECT_TRUE(update(2, 1.0, {}, 95).has_value());
}

}  // namespace tarvik
