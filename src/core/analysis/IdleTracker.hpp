#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/support/Date.hpp"

// Who has been quiet, and for how long. Nothing here reads the clock: every call is given the time.
namespace tarvik {

// When each key was last busy.
struct ActivityClock {
    // The same "pid:" key as MetricHistory::key.
    [[nodiscard]] static std::string key(std::int32_t pid);

    double activeThreshold = 0;  // CPU percent from which a key counts as busy
    std::unordered_map<std::string, Date> lastActive;

    explicit ActivityClock(double threshold) : activeThreshold(threshold) {}
    bool operator==(const ActivityClock&) const = default;

    // Takes CPU percent by key. Keys missing from it are forgotten; a key first seen while quiet
    // counts as busy at that first sighting.
    void record(const std::unordered_map<std::string, double>& cpuByKey, Date at);
    // Seconds since the key was last busy; nullopt for an unknown key.
    [[nodiscard]] std::optional<double> idleSeconds(const std::string& key, Date at) const;
};

// Lets each alert fire at most once per `interval`.
struct AlertThrottle {
    double interval = 0;  // seconds
    std::unordered_map<std::string, Date> lastFired;

    explicit AlertThrottle(double intervalSeconds) : interval(intervalSeconds) {}
    bool operator==(const AlertThrottle&) const = default;

    // True, and remembered as a firing, unless the key fired less than `interval` before `at`.
    bool shouldFire(const std::string& key, Date at);
};

// Counts consecutive quiet samples per process.
struct IdleTracker {
    std::unordered_map<std::int32_t, int> lowStreak;
    double cpuThreshold = 0;  // percent; a sample below it is quiet
    int requiredSamples = 0;

    IdleTracker(double threshold, int samples) : cpuThreshold(threshold), requiredSamples(samples) {}
    bool operator==(const IdleTracker&) const = default;

    // Takes CPU percent by pid. Pids missing from it are forgotten; one busy sample restarts a streak.
    void record(const std::unordered_map<std::int32_t, double>& cpuByPid);
    [[nodiscard]] bool isIdle(std::int32_t pid) const;
};

}  // namespace tarvik
