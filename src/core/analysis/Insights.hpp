#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/analysis/IdleTracker.hpp"
#include "core/analysis/MetricHistory.hpp"
#include "core/servers/Server.hpp"
#include "core/support/Date.hpp"

// The observations about the user's own dev servers that are worth an interruption. Nothing here
// reads the clock: every call is given the time.
namespace tarvik {

// Thresholds of the insights; the app always runs with the defaults.
struct InsightRules {
    double idleAfter = 3600;                     // seconds without activity before a server is idle
    double growthWindow = 1800;                  // seconds looked back for memory growth
    std::uint64_t growthMinBytes = 524'288'000;  // 500 MiB
    double growthMinFraction = 0.5;              // of the size at the start of the window
    double cpuWindow = 600;                      // seconds looked back for CPU
    double cpuMinPercent = 80;                   // average, percent of one core
    double coverage = 0.9;                       // how far back into a window the samples must reach

    bool operator==(const InsightRules&) const = default;
};

// The dev servers that have sat idle, and what stopping them frees.
struct IdleSummary {
    std::vector<Server> servers;  // one per listening socket, not merged
    int processCount = 0;         // distinct pids
    std::uint64_t freesBytes = 0;
    std::vector<int> ports;  // distinct, ascending
    double idleSeconds = 0;  // the shortest idle time among the processes

    bool operator==(const IdleSummary&) const = default;
};

namespace Insights {
struct Idle {
    IdleSummary summary;
    bool operator==(const Idle&) const = default;
};
struct MemoryGrowth {
    Server server;
    std::uint64_t deltaBytes = 0;
    int minutes = 0;  // the window looked back over
    bool operator==(const MemoryGrowth&) const = default;
};
struct CpuHog {
    Server server;
    double averagePercent = 0;
    int minutes = 0;  // the window looked back over
    bool operator==(const CpuHog&) const = default;
};
struct Exposed {
    std::vector<Server> servers;  // not merged, containers included
    bool operator==(const Exposed&) const = default;
};
}  // namespace Insights

using Insight = std::variant<Insights::Idle, Insights::MemoryGrowth, Insights::CpuHog, Insights::Exposed>;

// The system's own red and orange, not the kind palette's tokens of the same names.
enum class InsightTint { red, orange };

// One line of the attention list.
struct AttentionLine {
    std::string text;  // "Vite (shop) grew 600 MB in 30 min"
    std::string icon;  // symbol image name
    InsightTint tint = InsightTint::orange;

    bool operator==(const AttentionLine&) const = default;
};

// The banner that offers to stop the idle servers.
struct IdleBanner {
    std::string title;     // "Vite idle for 3 hours", "2 servers idle for over an hour"
    std::string sentence;  // what stopping them frees
    std::string icon;      // symbol image name
    std::string action;    // the button that stops them all

    bool operator==(const IdleBanner&) const = default;
};

namespace Insights {

// In this order: at most one `Idle`, every `MemoryGrowth`, every `CpuHog`, at most one `Exposed`.
// Only dev servers count; databases are never idle, and containers are never idle, growing or
// hogging (but can be exposed).
[[nodiscard]] std::vector<Insight> evaluate(const std::vector<Server>& servers, const MetricHistory& history,
                                            const ActivityClock& activity, Date now,
                                            const InsightRules& rules);

// The idle servers among `devServers`, judged on `candidates` (their merged rows' primaries,
// containers left out); nullopt when none is idle.
[[nodiscard]] std::optional<IdleSummary> idleSummary(const std::vector<Server>& devServers,
                                                     const std::vector<Server>& candidates,
                                                     const ActivityClock& activity, Date now,
                                                     const InsightRules& rules);

// The growth over `growthWindow` when it is large, covers the window and climbs quarter by
// quarter (a dip of at most 2 % allowed); nullopt otherwise.
[[nodiscard]] std::optional<std::uint64_t> steadyGrowth(const std::vector<MetricSample>& series, Date now,
                                                        const InsightRules& rules);

// The average CPU over `cpuWindow` when it reaches `cpuMinPercent` and the samples cover the
// window; nullopt otherwise.
[[nodiscard]] std::optional<double> sustainedCPU(const std::vector<MetricSample>& series, Date now,
                                                 const InsightRules& rules);

// How insights read on the overview page.

// The kind's name, with " (project)" when the server has one.
[[nodiscard]] std::string displayName(const Server& server);

// nullopt for `Idle`, which shows as the banner instead.
[[nodiscard]] std::optional<AttentionLine> attentionLine(const Insight& insight);

// "over an hour" below two hours, "N hours" up to 47, then "N days" (whole units, truncated).
[[nodiscard]] std::string idleSpan(double idleSeconds);

// Names the server when a single process is idle, else counts them; the sentence says what
// stopping them all frees.
[[nodiscard]] IdleBanner idleBanner(const IdleSummary& summary);

}  // namespace Insights

}  // namespace tarvik
