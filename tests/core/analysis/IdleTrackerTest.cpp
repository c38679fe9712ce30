#include "core/analysis/IdleTracker.hpp"

#include <gtest/gtest.h>

#include "core/analysis/Builders.hpp"

namespace tarvik {
namespace {

TEST(IdleTracker, IdleAfterEnoughConsecutiveQuietSamples) {
    // A negative reading leaves the pid out of that record; "I" marks idle after a reading.
    const std::pair<std::vector<double>, std::string> cases[] = {
        {{0.5, 0.9, 0.0, 0.99}, "..II"}, {{0.5, 1.0, 0.2, 0.1}, "...."}, {{0.1, 0.1, -1, 0.1, 0.1}, "....."}};
    for (const auto& [readings, expected] : cases) {
        IdleTracker tracker(1.0, 3);
        std::string idle;
        for (double cpu : readings) {
            std::unordered_map<std::int32_t, double> input{{8, 0.0}};
            if (cpu >= 0) input[7] = cpu;
            tracker.record(input);
            idle += tracker.isIdle(7) ? 'I' : '.';
        }
        EXPECT_EQ(idle, expected);
    }
}

TEST(AlertThrottle, FiresOncePerIntervalPerKey) {
    AlertThrottle throttle(3600);
    std::vector<bool> fired;
    for (auto [key, t] : {std::pair{"hot", 0}, {"hot", 3599}, {"cold", 3599}, {"hot", 3600}, {"hot", 7199}})
        fired.push_back(throttle.shouldFire(key, at(t)));
    EXPECT_EQ(fired, (std::vector{true, false, true, true, false}));
}

TEST(ActivityClock, IdleSinceLastBusyOrFirstSighting) {
    ActivityClock clock(1.0);
    clock.record({{ActivityClock::key(3), 0.3}, {"a", 5}, {"b", 0.5}}, at(100));
    clock.record({{"pid:3", 0.9}, {"b", 1.0}}, at(130));
    clock.record({{"pid:3", 0.0}, {"b", 0.0}, {"c", 0.0}}, at(140));
    const std::optional<double> expected[] = {60, std::nullopt, 30, 20};  // "a" was left out, so forgotten
    for (int i = 0; const std::string key : {"pid:3", "a", "b", "c"})
        EXPECT_EQ(clock.idleSeconds(key, at(160)), expected[i++]) << key;
}

}  // namespace
}  // namespace tarvik
