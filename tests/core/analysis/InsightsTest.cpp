#include "core/analysis/Insights.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

using std::nullopt;
using Samples = std::vector<std::tuple<int, double, double>>;  // seconds before `now`, bytes, CPU %
const Date now = Date{} + std::chrono::hours(1000);

Server server(std::int32_t pid, int port, std::string kind = "Vite", std::string address = "127.0.0.1",
              ServerCategory category = ServerCategory::dev) {
    Server s{.pid = pid, .port = port, .address = std::move(address), .category = category};
    s.kind.name = std::move(kind);
    return s;
}
Server inContainer(Server s) {
    return s.containerName = "web", s;
}

MetricHistory history(std::int32_t pid, const Samples& samples) {
    MetricHistory h(3600);
    for (auto [back, bytes, cpu] : samples)
        h.record(MetricHistory::key(pid), {now - std::chrono::seconds(back), std::uint64_t(bytes), cpu});
    return h;
}

Samples grow(std::initializer_list<std::pair<int, double>> gigabytes, double cpu = 0) {
    Samples samples;
    for (auto [back, size] : gigabytes) samples.emplace_back(back, size * 1e9, cpu);
    return samples;
}

TEST(Insights, IdleDevServersAndExposedOnes) {
    const Server vite = server(7, 3000, "Vite", "::1"), vite2 = server(7, 3001),
                 wide = server(7, 3000, "Vite", "::"), boxed = inContainer(server(7, 80, "nginx", "0.0.0.0")),
                 any = server(9, 8080, "Vite", "*");
    // Which addresses are exposed is ListeningPortDedup.KeepsEveryAddressAndShowsTheExposedOne's.
    const std::tuple<const char*, std::vector<Server>, int, std::vector<Insight>> cases[] = {
        {"exactly the threshold", {vite}, 3600, {Insights::Idle{{{vite}, 1, 0, {3000}, 3600}}}},
        {"a second short", {vite}, 3599, {}},
        {"a database", {server(8, 5432, "PostgreSQL")}, 86400, {}},
        {"two sockets", {vite2, vite}, 4000, {Insights::Idle{{{vite2, vite}, 1, 0, {3000, 3001}, 4000}}}},
        {"wildcards",
         {wide, boxed, any, server(4, 22, "sshd", "*", ServerCategory::system)},
         7200,
         {Insights::Idle{{{wide}, 1, 0, {3000}, 7200}}, Insights::Exposed{{wide, boxed, any}}}}};
    for (const auto& [name, servers, idle, expected] : cases) {
        ActivityClock clock(1);
        for (auto pid : {7, 8}) clock.lastActive[ActivityClock::key(pid)] = now - std::chrono::seconds(idle);
        EXPECT_EQ(Insights::evaluate(servers, MetricHistory(3600), clock, now, {}), expected) << name;
    }
}

TEST(Insights, SteadyGrowthThenSustainedCpuOverCoveredWindows) {
    constexpr std::uint64_t rise = 600'000'000;
    const std::tuple<const char*, Samples, std::optional<std::uint64_t>, std::optional<double>> cases[] = {
        {"29 min", grow({{1740, 1}, {1300, 1.15}, {870, 1.3}, {430, 1.45}, {0, 1.6}}), rise, nullopt},
        {"25 min", grow({{1500, 1}, {1300, 1.15}, {870, 1.3}, {430, 1.45}, {0, 1.6}}), nullopt, nullopt},
        {"400 MiB", grow({{1740, 0.5}, {1300, 0.6}, {870, 0.7}, {0, 0.919'430'4}}), nullopt, nullopt},
        {"30 %", grow({{1740, 2}, {1300, 2.2}, {870, 2.4}, {0, 2.6}}), nullopt, nullopt},
        {"a dip of exactly 2 %", grow({{1700, 1}, {1200, 1.5}, {600, 1.47}, {0, 1.6}}), rise, nullopt},
        {"a dip of 2.1 %", grow({{1700, 1}, {1200, 1.5}, {600, 1.4685}, {0, 1.6}}), nullopt, nullopt},
        {"to the end", grow({{1700, 1}, {1200, 1.2}, {900, 1.4}, {500, 1.35}, {0, 1.6}}), rise, nullopt},
        {"79.9 %", {{570, 0, 79.9}, {400, 0, 89.9}, {200, 0, 69.9}, {0, 0, 79.9}}, nullopt, nullopt},
        {"three samples", {{570, 0, 90}, {200, 0, 90}, {0, 0, 90}}, nullopt, nullopt},
        {"530 s back", {{530, 0, 90}, {400, 0, 90}, {200, 0, 90}, {0, 0, 90}}, nullopt, nullopt},
        {"540 s back", {{700, 0, 0}, {540, 0, 70}, {400, 0, 90}, {200, 0, 80}, {0, 0, 80}}, nullopt, 80},
        {"both", grow({{1700, 1}, {1200, 1.2}, {590, 1.4}, {300, 1.5}, {100, 1.55}, {0, 1.6}}, 90), rise,
         90}};
    const Server vite = server(7, 3000);
    for (const auto& [name, samples, delta, average] : cases) {
        std::vector<Insight> expected;
        if (delta) expected.push_back(Insights::MemoryGrowth{vite, *delta, 30});
        if (average) expected.push_back(Insights::CpuHog{vite, *average, 10});
        const std::vector<Server> servers = {vite, inContainer(server(7, 80, "nginx"))};
        EXPECT_EQ(Insights::evaluate(servers, history(7, samples), ActivityClock(1), now, {}), expected)
            << name;
    }
}

TEST(Insights, ReadOnTheOverviewPage) {
    // A growing server's line is checked on the panel, in PanelTest.EachTabShowsItsDocumentedTexts.
    const std::pair<Insight, std::optional<AttentionLine>> lines[] = {
        {Insights::CpuHog{server(7, 80, "nginx"), 79.5, 10},
         {{"nginx averaged 80% CPU for 10 min", "flame", InsightTint::orange}}},
        {Insights::Exposed{{server(1, 8080), server(2, 3000), server(2, 3000)}},
         {{"Ports 3000 and 8080 reachable from your network", "wifi-high", InsightTint::orange}}},
        {Insights::Idle{}, nullopt}};
    for (const auto& [insight, line] : lines) EXPECT_EQ(Insights::attentionLine(insight), line);
    const std::pair<double, const char*> spans[] = {
        {1.0, "over an hour"}, {1.999, "over an hour"}, {2.0, "2 hours"}, {47.99, "47 hours"},
        {48.0, "2 days"},      {71.99, "2 days"},       {72.0, "3 days"}};
    for (auto [hours, span] : spans) EXPECT_EQ(Insights::idleSpan(hours * 3600), span) << hours << " h";
    EXPECT_EQ(
        Insights::idleBanner({{server(7, 3000), server(7, 3001)}, 1, 1'610'612'736, {3000, 3001}, 7200}),
        (IdleBanner{"Vite idle for 2 hours", "Stopping it frees 1.5 GB and ports 3000 and 3001.",
                    "moon-stars-fill", "Stop all"}));
    EXPECT_EQ(Insights::idleBanner({{server(7, 3000), server(8, 3000)}, 2, 0, {3000}, 3 * 86400}),
              (IdleBanner{"2 servers idle for 3 days", "Stopping them frees port 3000.", "moon-stars-fill",
                          "Stop all"}));
}

}  // namespace
}  // namespace tarvik
