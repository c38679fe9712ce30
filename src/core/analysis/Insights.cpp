#include "core/analysis/Insights.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/servers/FreedCopy.hpp"
#include "core/servers/Probe.hpp"
#include "core/servers/ServerGroup.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/Text.hpp"

namespace tarvik::Insights {

namespace {

// The samples at or after `now` - `window`, in series order.
std::vector<MetricSample> recent(const std::vector<MetricSample>& series, Date now, double window) {
    std::vector<MetricSample> kept;
    for (const auto& sample : series)
        if (secondsBetween(sample.at, now) <= window) kept.push_back(sample);
    return kept;
}

// A short-lived series says nothing about a trend over the whole window.
bool coversWindow(const std::vector<MetricSample>& kept, Date now, double window, double coverage) {
    return kept.size() >= 4 && secondsBetween(kept.front().at, now) >= window * coverage;
}

double meanMemory(const std::vector<MetricSample>& samples, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(samples[i].memoryBytes);
    return sum / static_cast<double>(to - from);
}

bool isDatabase(const Server& server) {
    return std::holds_alternative<ServiceProtocols::Database>(ServiceProtocols::of(server));
}

std::string capitalised(std::string text) {
    if (!text.empty() && text.front() >= 'a' && text.front() <= 'z')
        text.front() = static_cast<char>(text.front() - 32);
    return text;
}

// Non-finite values never come out of `evaluate`; they read as 0 rather than as garbage.
std::string wholeNumber(double value) {
    if (!std::isfinite(value)) return "0";
    return std::to_string(static_cast<long long>(Text::roundHalfAwayFromZero(value)));
}

}  // namespace

std::optional<IdleSummary> idleSummary(const std::vector<Server>& devServers,
                                       const std::vector<Server>& candidates, const ActivityClock& activity,
                                       Date now, const InsightRules& rules) {
    std::map<std::int32_t, double> idleByPid;
    for (const auto& candidate : candidates) {
        if (isDatabase(candidate)) continue;
        auto idle = activity.idleSeconds(ActivityClock::key(candidate.pid), now);
        if (idle && *idle >= rules.idleAfter) idleByPid[candidate.pid] = *idle;
    }
    if (idleByPid.empty()) return std::nullopt;

    IdleSummary summary;
    for (const auto& server : devServers)
        if (!server.containerName && idleByPid.contains(server.pid)) summary.servers.push_back(server);
    summary.processCount = static_cast<int>(idleByPid.size());
    for (const auto& candidate : candidates)
        if (idleByPid.contains(candidate.pid)) summary.freesBytes += candidate.memoryBytes.value_or(0);
    for (const auto& server : summary.servers) summary.ports.push_back(server.port);
    std::sort(summary.ports.begin(), summary.ports.end());
    summary.ports.erase(std::unique(summary.ports.begin(), summary.ports.end()), summary.ports.end());
    summary.idleSeconds =
        std::min_element(idleByPid.begin(), idleByPid.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->second;
    return summary;
}

std::optional<std::uint64_t> steadyGrowth(const std::vector<MetricSample>& series, Date now,
                                          const InsightRules& rules) {
    auto kept = recent(series, now, rules.growthWindow);
    if (!coversWindow(kept, now, rules.growthWindow, rules.coverage)) return std::nullopt;
    std::uint64_t first = kept.front().memoryBytes;
    std::uint64_t last = kept.back().memoryBytes;
    if (last <= first) return std::nullopt;
    std::uint64_t delta = last - first;
    if (delta < rules.growthMinBytes) return std::nullopt;
    if (static_cast<double>(delta) < rules.growthMinFraction * static_cast<double>(first))
        return std::nullopt;

    // A spike that falls back is not a leak: each quarter must hold at least about the level of
    // the one before it.
    std::size_t n = kept.size();
    std::size_t q = n / 4;
    double previous = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        double mean = meanMemory(kept, i * q, i == 3 ? n : (i + 1) * q);
        if (i > 0 && mean < 0.98 * previous) return std::nullopt;
        previous = mean;
    }
    return delta;
}

std::optional<double> sustainedCPU(const std::vector<MetricSample>& series, Date now,
                                   const InsightRules& rules) {
    auto kept = recent(series, now, rules.cpuWindow);
    if (!coversWindow(kept, now, rules.cpuWindow, rules.coverage)) return std::nullopt;
    double sum = 0;
    for (const auto& sample : kept) sum += sample.cpuPercent;
    double average = sum / static_cast<double>(kept.size());
    if (average >= rules.cpuMinPercent) return average;
    return std::nullopt;
}

std::vector<Insight> evaluate(const std::vector<Server>& servers, const MetricHistory& history,
                              const ActivityClock& activity, Date now, const InsightRules& rules) {
    std::vector<Server> dev;
    for (const auto& server : servers)
        if (server.category == ServerCategory::dev) dev.push_back(server);

    // One judgement per process and kind; a container's processes belong to Docker, not the user.
    std::vector<Server> candidates;
    for (const auto& row : PortMerger::merge(dev))
        if (!row.primary.containerName) candidates.push_back(row.primary);

    std::vector<Insight> insights;
    if (auto summary = idleSummary(dev, candidates, activity, now, rules)) insights.push_back(Idle{*summary});

    std::vector<std::vector<MetricSample>> seriesOf;
    for (const auto& candidate : candidates)
        seriesOf.push_back(history.samples(MetricHistory::key(candidate.pid)));
    int growthMinutes = static_cast<int>(rules.growthWindow / 60);
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (auto delta = steadyGrowth(seriesOf[i], now, rules))
            insights.push_back(MemoryGrowth{candidates[i], *delta, growthMinutes});
    int cpuMinutes = static_cast<int>(rules.cpuWindow / 60);
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (auto average = sustainedCPU(seriesOf[i], now, rules))
            insights.push_back(CpuHog{candidates[i], *average, cpuMinutes});

    Exposed exposed;
    for (const auto& server : dev)
        if (server.isExposedToNetwork()) exposed.servers.push_back(server);
    if (!exposed.servers.empty()) insights.push_back(std::move(exposed));
    return insights;
}

std::string displayName(const Server& server) {
    if (!server.project) return server.kind.name;
    return server.kind.name + " (" + *server.project + ")";
}

std::optional<AttentionLine> attentionLine(const Insight& insight) {
    if (const auto* growth = std::get_if<MemoryGrowth>(&insight))
        return AttentionLine{displayName(growth->server) + " grew " + ByteFormat::short_(growth->deltaBytes) +
                                 " in " + std::to_string(growth->minutes) + " min",
                             "arrow-up-right", InsightTint::red};
    if (const auto* hog = std::get_if<CpuHog>(&insight))
        return AttentionLine{displayName(hog->server) + " averaged " + wholeNumber(hog->averagePercent) +
                                 "% CPU for " + std::to_string(hog->minutes) + " min",
                             "flame", InsightTint::orange};
    if (const auto* exposed = std::get_if<Exposed>(&insight)) {
        std::vector<int> ports;
        for (const auto& server : exposed->servers)
            if (std::find(ports.begin(), ports.end(), server.port) == ports.end())
                ports.push_back(server.port);
        return AttentionLine{capitalised(FreedCopy::ports(ports)) + " reachable from your network",
                             "wifi-high", InsightTint::orange};
    }
    return std::nullopt;
}

std::string idleSpan(double idleSeconds) {
    double hours = std::trunc(idleSeconds / 3600);
    if (!(hours >= 2)) return "over an hour";
    if (hours > 47) return std::to_string(static_cast<long long>(std::min(hours, 1e15)) / 24) + " days";
    return std::to_string(static_cast<long long>(hours)) + " hours";
}

IdleBanner idleBanner(const IdleSummary& summary) {
    std::string subject = summary.processCount == 1 && !summary.servers.empty()
                              ? summary.servers.front().kind.name
                              : std::to_string(summary.processCount) + " servers";
    return IdleBanner{subject + " idle for " + idleSpan(summary.idleSeconds),
                      FreedCopy::stopping(summary.freesBytes, summary.ports, summary.processCount),
                      "moon-stars-fill", "Stop all"};
}

}  // namespace tarvik::Insights
