#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/support/Date.hpp"

// Recent samples over a sliding window. Nothing here reads the clock: every call is given the
// time, and entries are expected in time order.
namespace tarvik {

struct MetricSample {
    Date at;
    std::uint64_t memoryBytes = 0;
    double cpuPercent = 0;

    bool operator==(const MetricSample&) const = default;
};

// Memory and CPU per process and for the whole machine.
struct MetricHistory {
    static constexpr std::string_view systemKey = "system";
    // "pid:" and the decimal pid.
    [[nodiscard]] static std::string key(std::int32_t pid);

    double window = 0;                                                  // seconds
    std::unordered_map<std::string, std::vector<MetricSample>> series;  // per key, in the order recorded

    explicit MetricHistory(double windowSeconds) : window(windowSeconds) {}
    bool operator==(const MetricHistory&) const = default;

    // Appends, then drops the leading samples older than `window` before the new one.
    void record(const std::string& key, const MetricSample& sample);
    // Empty when the key is unknown.
    [[nodiscard]] std::vector<MetricSample> samples(const std::string& key) const;
    void retain(const std::unordered_set<std::string>& keys);
};

// Named numeric series.
struct ValueHistory {
    struct Point {
        Date at;
        double value = 0;
        bool operator==(const Point&) const = default;
    };

    double window = 0;                                           // seconds
    std::unordered_map<std::string, std::vector<Point>> series;  // per key, in the order recorded

    explicit ValueHistory(double windowSeconds) : window(windowSeconds) {}
    bool operator==(const ValueHistory&) const = default;

    // Appends, then drops the leading points older than `window` before the new one.
    void record(const std::string& key, double value, Date at);
    // Empty when the key is unknown.
    [[nodiscard]] std::vector<double> values(const std::string& key) const;
    // At most `limit` points: consecutive runs averaged, each stamped with its run's last time.
    // A `limit` below 1 or a series that already fits comes back unchanged.
    [[nodiscard]] std::vector<Point> points(const std::string& key, int limit) const;

    // Over the points at or after `now` - `over` seconds.
    [[nodiscard]] std::optional<double> average(const std::string& key, double over, Date now) const;
    [[nodiscard]] double sum(const std::string& key, double over, Date now) const;
    [[nodiscard]] int count(const std::string& key, double over, Date now) const;

    // Drops every point older than `window` before `now`, wherever it stands, and empty series.
    void trim(Date now);
};

}  // namespace tarvik
