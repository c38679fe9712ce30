#include "core/servers/StopAction.hpp"

#include <gtest/gtest.h>

#include <tuple>

#include "core/servers/FreedCopy.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
using std::nullopt;

Server server(std::int32_t pid, int port, ServerCategory category = ServerCategory::dev) {
    return {.pid = pid, .port = port, .processName = "node", .category = category};
}

std::vector<int> ports(const std::vector<Server>& servers) {
    std::vector<int> result;
    for (const auto& s : servers) result.push_back(s.port);
    return result;
}

TEST(StopActions, ContainersBeforeProcessesAndForceKills) {
    Server s = server(42, 3000);
    s.containerName = "";
    EXPECT_EQ(StopActions::of(s, false), StopAction{StopActions::SignalProcess{42}});
    EXPECT_EQ(StopActions::of(s, true), StopAction{StopActions::ForceSignalProcess{42}});
    s.containerName = "web";
    EXPECT_EQ(StopActions::of(s, false), StopAction{StopActions::StopContainer{"web"}});
    EXPECT_EQ(StopActions::of(s, true), StopAction{StopActions::KillContainer{"web"}});
}

TEST(RecentStops, KeepsTheFiveNewestDevServers) {
    RecentStops stops;
    const Date t = Date{} + 1000h;
    stops.record({server(1, 1), server(2, 2), server(3, 3), server(4, 4)}, t);
    stops.record({server(9, 22, ServerCategory::system)}, t + 1s);
    EXPECT_EQ(stops.entries.size(), 4u) << "system servers are never remembered";
    stops.record({server(5, 5), server(6, 6, ServerCategory::system), server(7, 7), server(8, 8)}, t + 2s);
    std::vector<int> ports;
    for (const auto& entry : stops.entries) ports.push_back(entry.server.port);
    EXPECT_EQ(ports, (std::vector<int>{5, 7, 8, 1, 2}));
    EXPECT_EQ(stops.entries[0].stoppedAt, t + 2s);
    stops.removeMatching(7);
    EXPECT_EQ(stops.entries.size(), 4u);
    EXPECT_EQ(stops.entries[1].id(), "8:8");
}

TEST(RecentStops, RestartsContainersAndProcessesWithACommandAndAFolder) {
    using Maybe = std::optional<std::string>;
    const std::tuple<Maybe, Maybe, Maybe, bool> cases[] = {
        // args, cwd, container, restartable
        {"node server.js", "/Users/anna/app", nullopt, true},
        {"node server.js", nullopt, nullopt, false},
        {"", "/Users/anna/app", nullopt, false},
        {"/usr/bin/Docker-proxy -p 80", "/", nullopt, false},
        {"/usr/bin/docker-proxy -p 80", "/", "web", true}};
    for (const auto& [args, cwd, container, restartable] : cases) {
        Server s = server(1, 1);
        s.args = args, s.cwd = cwd, s.containerName = container;
        EXPECT_EQ(RecentStops::isRestartable(s), restartable) << args.value_or("nil");
    }
}

TEST(SnapshotDiff, ComparesScansByPidAndPort) {
    std::vector<Server> before{server(1, 3000), server(2, 22, ServerCategory::system), server(3, 5173)};
    EXPECT_TRUE(SnapshotDiff(before, before).isEmpty());
    std::vector<Server> after{server(1, 3001), server(3, 5173), server(4, 8080, ServerCategory::system)};
    SnapshotDiff diff(before, after);
    EXPECT_EQ(ports(diff.started), (std::vector<int>{3001, 8080}));
    EXPECT_EQ(ports(diff.stopped), (std::vector<int>{3000, 22}));
    EXPECT_EQ(ports(diff.devStarted()), (std::vector<int>{3001}));
    EXPECT_EQ(ports(diff.devStopped()), (std::vector<int>{3000}));
}

TEST(TidyCandidates, OffersOnlyIdleSystemListenersThatTheUserMayStop) {
    auto system = [](std::int32_t pid, int port, std::string name, std::uint64_t bytes) {
        return Server{.pid = pid, .port = port, .processName = name, .memoryBytes = bytes};
    };
    // pid 6 is another user's; every pid but 4 is idle.
    auto result = TidyCandidates::evaluate(
        {server(1, 3000), system(2, 5000, "rapportd", 10), system(3, 7000, "helper", 100 << 20),
         system(3, 7001, "helper", 100 << 20), system(4, 9000, "busyd", 50), system(5, 9100, "quietd", 0),
         system(0, 9200, "", 0), system(6, 9300, "postgres", 40), system(0, 22, "sshd", 0)},
        [](std::int32_t pid) { return pid != 4; }, [](const Server& s) { return s.pid != 6; });
    EXPECT_EQ(ports(result.reviewable), (std::vector<int>{7000, 7001, 9100}));
    using Why = TidyCandidates::Keeping;
    std::vector<std::pair<int, Why>> kept;
    for (const auto& [server, why] : result.keptSafe) kept.emplace_back(server.port, why);
    EXPECT_EQ(kept, (decltype(kept){{5000, Why::system},
                                    {9000, Why::busy},
                                    {9200, Why::ownerHidden},
                                    {9300, Why::notYours},
                                    {22, Why::system}}));
    EXPECT_EQ(result.reclaimableBytes(), 100u << 20) << "one process counts once";
}

TEST(Version, ComparesDottedNumbers) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"v1.10.0", "1.9", true}, {"1.2", "1.2.0", false}, {"1.2.1", "1.2", true}, {"1.2-beta", "1.1", false},
        {"2", "10", false},       {" V3 ", "2.9.9", true}, {"", "1", false},       {"1..2", "1.1", true}};
    for (const auto& [candidate, current, newer] : cases)
        EXPECT_EQ(Version::isNewer(candidate, current), newer) << candidate << " vs " << current;
}

TEST(FreedCopy, SaysWhatStoppingFreed) {
    EXPECT_EQ(FreedCopy::ports({8080, 3000, 5173}), "ports 3000, 5173 and 8080");
    EXPECT_EQ(FreedCopy::stopped("Vite", nullopt, {}), "Vite stopped. No ports are free.");
    EXPECT_EQ(FreedCopy::stopped("Vite", 0, {5173}), "Vite stopped. Port 5173 is free.");
}

}  // namespace
}  // namespace tarvik
