#include "core/servers/PortScanner.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

ProcessRecord record(std::int32_t pid, std::int32_t ppid, std::string path, std::uint64_t memory,
                     double cpu) {
    return ProcessRecord{pid, ppid, std::move(path), AppOwner{}, cpu, memory, std::nullopt};
}

struct Population {
    ProcessSnapshot snapshot;
    std::unordered_map<std::int32_t, std::vector<LibProc::Socket>> sockets;
    std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo> info;
    std::unordered_map<std::int32_t, std::string> cwd;

    PortScanner::Sources sources() const {
        return {[this](const std::vector<LibProc::ProcessRef>&) { return sockets; },
                [this](const std::vector<std::int32_t>& pids) {
                    std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo> some;
                    for (auto pid : pids)
                        if (info.contains(pid)) some.emplace(pid, info.at(pid));
                    return some;
                },
                [this](std::int32_t pid) -> std::optional<std::string> {
                    if (auto it = cwd.find(pid); it != cwd.end()) return it->second;
                    return std::nullopt;
                },
                "/home/anna"};
    }
};

TEST(PortScanner, SortsDevBeforeSystemThenPortThenPid) {
    Population p;
    p.snapshot.records = {
        record(1, 0, "/usr/sbin/sshd", 1 << 20, 0), record(2, 1, "/usr/bin/node", 1 << 20, 0),
        record(5, 1, "/usr/bin/node", 1 << 20, 0), record(10, 1, "/usr/bin/node", 1 << 20, 0)};
    p.sockets = {{1, {{22, "*"}}}, {2, {{8080, "*"}}}, {5, {{3000, "*"}}}, {10, {{3000, "*"}}}};
    auto servers = PortScanner::scan(p.snapshot, p.sources());
    std::vector<std::int32_t> pids;
    for (const auto& server : servers) pids.push_back(server.pid);
    EXPECT_EQ(pids, (std::vector<std::int32_t>{5, 10, 2, 1}));
    EXPECT_EQ(servers.back().category, ServerCategory::system);
    EXPECT_NE(servers[0].id(), servers[1].id()) << "two processes on one port are two rows";
}

// Ports held by processes this user cannot see are listed with their user instead of vanishing.
TEST(PortScanner, AListenerWhoseProcessCannotBeSeenIsASystemRowWithItsUser) {
    Population p;
    p.snapshot.records = {record(2, 1, "/usr/bin/node", 1 << 20, 0)};
    p.sockets = {{2, {{3000, "*"}}}};
    auto sources = p.sources();
    sources.unownedSockets = [] {
        return std::vector<PortScanner::UnownedSocket>{
            {5432, "127.0.0.1", "postgres"}, {5432, "127.0.0.1", "postgres"}, {2024, "*", "root"}};
    };
    auto servers = PortScanner::scan(p.snapshot, sources);
    ASSERT_EQ(servers.size(), 3u) << "one row per port and address, however many sockets";
    EXPECT_EQ(servers[0].pid, 2);
    EXPECT_EQ(servers[1].port, 2024);
    EXPECT_EQ(servers[2].port, 5432);
    for (std::size_t i = 1; i < servers.size(); ++i) {
        EXPECT_EQ(servers[i].pid, 0);
        EXPECT_EQ(servers[i].category, ServerCategory::system);
        EXPECT_EQ(servers[i].kind.name, "Hidden listener");
    }
    EXPECT_EQ(servers[2].user, "postgres");
    EXPECT_EQ(servers[2].displayCommand(), "a process of postgres that this user cannot see");

    p.snapshot.records.clear();
    p.sockets.clear();
    EXPECT_EQ(PortScanner::scan(p.snapshot, sources).size(), 2u) << "even with no visible listener at all";
}

TEST(PortScanner, DevServersCarryTheirTreeAndNestedServersAreNotCountedTwice) {
    Population p;
    p.snapshot.records = {
        record(10, 1, "/usr/bin/node", 100 * 1024, 1.0),  // dev server
        record(11, 10, "/usr/bin/node", 50 * 1024, 2.0),  // its child, itself a server
        record(12, 11, "/usr/bin/esbuild", 25 * 1024, 0.5),    record(13, 10, "/bin/sleep", 10 * 1024, 0.0),
        record(20, 1, "/usr/sbin/sshd", 7 * 1024, 0.0),  // system: no tree totals
        record(30, 1, "/usr/bin/docker-proxy", 4 * 1024, 0.0), record(31, 30, "/bin/sleep", 4 * 1024, 0.0),
    };
    p.sockets = {{10, {{3000, "*"}}}, {11, {{24678, "*"}}}, {20, {{22, "*"}}}, {30, {{8080, "*"}}}};
    p.info = {{10, {999, 0.3, 65, "node server.js"}}};
    p.cwd = {{10, "/home/anna/shop"}};
    auto servers = PortScanner::scan(p.snapshot, p.sources());
    // Docker processes and system servers keep their own memory; a nested server counts its own tree.
    using Row = std::tuple<std::int32_t, std::optional<std::uint64_t>, std::optional<int>, std::string>;
    std::vector<Row> rows;
    for (const auto& s : servers) rows.emplace_back(s.pid, s.memoryBytes, s.processCount, s.kind.name);
    EXPECT_EQ(rows, (std::vector<Row>{{10, 110 * 1024, 2, "Node"},
                                      {30, 4 * 1024, std::nullopt, "Docker"},
                                      {11, 75 * 1024, 2, "Node"},
                                      {20, 7 * 1024, std::nullopt, "sshd"}}));
    const auto &outer = servers[0], &inner = servers[2];
    EXPECT_DOUBLE_EQ(*outer.cpuPercent, 1.0);
    EXPECT_EQ(outer.uptimeSeconds, 65);
    EXPECT_EQ(outer.args, "node server.js");
    EXPECT_EQ(outer.displayDirectory("/home/anna"), "~/shop");
    EXPECT_FALSE(inner.uptimeSeconds || inner.args) << "no process facts, no uptime and no arguments";
}

}  // namespace
}  // namespace tarvik
