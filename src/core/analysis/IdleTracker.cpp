#include "core/analysis/IdleTracker.hpp"

#include "core/analysis/MetricHistory.hpp"

namespace tarvik {

std::string ActivityClock::key(std::int32_t pid) {
    return MetricHistory::key(pid);
}

void ActivityClock::record(const std::unordered_map<std::string, double>& cpuByKey, Date at) {
    std::unordered_map<std::string, Date> next;
    next.reserve(cpuByKey.size());
    for (const auto& [name, cpu] : cpuByKey) {
        auto previous = lastActive.find(name);
        bool busy = cpu >= activeThreshold || previous == lastActive.end();
        next.emplace(name, busy ? at : previous->second);
    }
    lastActive = std::move(next);
}

std::optional<double> ActivityClock::idleSeconds(const std::string& key, Date at) const {
    auto found = lastActive.find(key);
    if (found == lastActive.end()) return std::nullopt;
    return secondsBetween(found->second, at);
}

bool AlertThrottle::shouldFire(const std::string& key, Date at) {
    auto [it, first] = lastFired.try_emplace(key, at);
    if (first) return true;
    if (secondsBetween(it->second, at) < interval) return false;
    it->second = at;
    return true;
}

void IdleTracker::record(const std::unordered_map<std::int32_t, double>& cpuByPid) {
    std::unordered_map<std::int32_t, int> next;
    next.reserve(cpuByPid.size());
    for (const auto& [pid, cpu] : cpuByPid) {
        auto previous = lowStreak.find(pid);
        int streak = previous == lowStreak.end() ? 0 : previous->second;
        next.emplace(pid, cpu < cpuThreshold ? streak + 1 : 0);
    }
    lowStreak = std::move(next);
}

bool IdleTracker::isIdle(std::int32_t pid) const {
    auto found = lowStreak.find(pid);
    return (found == lowStreak.end() ? 0 : found->second) >= requiredSamples;
}

}  // namespace tarvik
