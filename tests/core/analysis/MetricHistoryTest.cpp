#include "core/analysis/MetricHistory.hpp"

#include <gtest/gtest.h>

#include "core/analysis/Builders.hpp"
#include "core/analysis/IdleTracker.hpp"

namespace tarvik {
namespace {

TEST(MetricHistory, PrunesOnlyTheLeadingSamplesOlderThanTheWindow) {
    MetricHistory history(3600);
    const MetricSample s0{at(0), 1, 0}, s1800{at(1800), 2, 0}, s3601{at(3601), 3, 0}, s5400{at(5400), 5, 0};
    const MetricSample late{at(100), 4, 0};
    for (const auto& s : {s0, s1800, s3601}) history.record(MetricHistory::key(42), s);
    EXPECT_EQ(history.samples("pid:42"), (std::vector{s1800, s3601}));
    // The late sample waits until it reaches the front; the sample exactly a window old stays.
    for (const auto& s : {late, s5400}) history.record("pid:42", s);
    EXPECT_EQ(history.samples("pid:42"), (std::vector{s1800, s3601, late, s5400}));
    history.record(std::string(MetricHistory::systemKey), s0);
    history.retain({"system", "pid:7"});
    EXPECT_EQ(history.series, (decltype(history.series){{"system", {s0}}}));
}

TEST(ValueHistory, ChartPointsAverageConsecutiveRunsStampedWithTheirLastTime) {
    const std::tuple<int, int, std::vector<int>> cases[] = {
        // count, limit, where each run ends (exclusive); 15.0 / 11 * 11 falls short of 15
        {10, 4, {2, 5, 7, 10}},
        {15, 11, {1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 15}},
        {4, 0, {1, 2, 3, 4}},
        {3, 20, {1, 2, 3}},
        {0, 4, {}}};
    for (const auto& [count, limit, runEnds] : cases) {
        ValueHistory history(1e9);
        for (int i = 0; i < count; ++i) history.record("v", i, at(i));
        std::vector<ValueHistory::Point> expected;
        for (int begin = 0; int end : runEnds) {
            expected.push_back({at(end - 1), (begin + end - 1) / 2.0});
            begin = end;
        }
        EXPECT_EQ(history.points("v", limit), expected) << count << " points, limit " << limit;
    }
}

TEST(ValueHistory, WindowQueriesAndTrimTestEveryPoint) {
    ValueHistory history(100);
    for (auto [t, v] : {std::pair{0, 1.0}, {10, 2.0}, {20, 3.0}, {5, 8.0}}) history.record("a", v, at(t));
    history.record("b", 1, at(0));
    using Answer = std::tuple<std::optional<double>, double, int>;  // average, sum, count
    auto ask = [&](const char* key, double over, int now) {
        return Answer{history.average(key, over, at(now)), history.sum(key, over, at(now)),
                      history.count(key, over, at(now))};
    };
    EXPECT_EQ(ask("a", 10, 20), Answer(2.5, 5, 2));
    EXPECT_EQ(ask("a", 15, 20), Answer(13.0 / 3, 13, 3));
    EXPECT_EQ(ask("a", 5, 100), Answer(std::nullopt, 0, 0));
    EXPECT_EQ(ask("x", 1e9, 0), Answer(std::nullopt, 0, 0));
    history.trim(at(110));  // the late t = 5 goes too, though newer points precede it
    EXPECT_EQ(history.series, (decltype(history.series){{"a", {{at(10), 2.0}, {at(20), 3.0}}}}));
}

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
