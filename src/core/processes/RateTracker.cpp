#include "core/processes/RateTracker.hpp"

#include "core/support/Text.hpp"

namespace tarvik {

std::optional<RateTracker::Rates> RateTracker::update(std::int32_t pid, double cpuSeconds, Date at) {
    std::optional<Rates> rates;
    if (auto previous = last.find(pid); previous != last.end()) {
        const Reading& before = previous->second;
        double dt = secondsBetween(before.at, at);
        // A CPU counter that went backwards belongs to a new process that reused the pid.
        if (before.cpu <= cpuSeconds && dt > 0) {
            Rates computed;
            computed.cpuPercent = Text::roundHalfAwayFromZero((cpuSeconds - before.cpu) / dt * 1000) / 10;
            rates = computed;
        }
    }
    last[pid] = Reading{cpuSeconds, at};
    return rates;
}

void RateTracker::retain(const std::unordered_set<std::int32_t>& pids) {
    std::erase_if(last, [&](const auto& entry) { return !pids.contains(entry.first); });
}

}  // namespace tarvik
