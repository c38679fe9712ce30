#include "core/servers/PortScanner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>

namespace tarvik {
namespace {

ProcessRecord record(std::int32_t pid, std::int32_t ppid, std::string path, std::uint64_t kB,
                     double cpu = 0) {
    return ProcessRecord{pid, ppid, std::move(path), AppOwner{}, cpu, kB * 1024};
}

struct Population {
    ProcessSnapshot snapshot;
    std::unordered_map<std::int32_t, std::vector<LibProc::Socket>> sockets;
    std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo> info;
    std::unordered_map<std::int32_t, std::optional<std::string>> cwd;

    PortScanner::Sources sources() const {
        return {[this](const std::vector<LibProc::ProcessRef>&) { return sockets; },
                [this](const std::vector<std::int32_t>&) { return info; },
                [this](std::int32_t pid) { return cwd.contains(pid) ? cwd.at(pid) : std::nullopt; },
                "/home/anna"};
    }
};

// Ports held by processes this user cannot see are listed with their user instead of vanishing.
TEST(PortScanner, AListenerWhoseProcessCannotBeSeenIsASystemRowWithItsUser) {
    Population p;
    p.snapshot.records = {record(2, 1, "/usr/bin/node", 1024)};
    const std::string entry = "/usr/share/applications/code.desktop";
    p.snapshot.records[0].owner = {"Code", entry, false};
    p.sockets = {{2, {{3000, "*"}}}};
    auto sources = p.sources();
    sources.unownedSockets = [] {
        return std::vector<PortScanner::UnownedSocket>{{5432, "127.0.0.1", "postgres"},
                                                       {5432, "127.0.0.1", "postgres"},
                                                       {2024, "*", "root"},
                                                       {5432, "::", "postgres"}};
    };
    auto servers = PortScanner::scan(p.snapshot, sources);
    ASSERT_EQ(servers.size(), 3u) << "one row per port, as its id says, however many sockets";
    EXPECT_EQ(servers[0].pid, 2);
    EXPECT_EQ(servers[0].desktopEntryPath, entry) << "the entry of the application that started it";
    const ServerKind hidden{"Hidden listener", "lock-fill", TintToken::slate};
    EXPECT_EQ(servers[1],
              (Server{.port = 2024, .address = "*", .kind = hidden, .user = "root", .addresses = {"*"}}));
    EXPECT_EQ(servers[2], (Server{.port = 5432,
                                  .address = "::",
                                  .kind = hidden,
                                  .user = "postgres",
                                  .addresses = {"127.0.0.1", "::"}}))
        << "the wildcard beside the loopback bind is not hidden";
    EXPECT_TRUE(servers[2].isExposedToNetwork());
    EXPECT_EQ(servers[2].displayCommand(), "a process of postgres that this user cannot see");

    p.snapshot.records.clear();
    p.sockets.clear();
    EXPECT_EQ(PortScanner::scan(p.snapshot, sources).size(), 2u) << "even with no visible listener at all";
}

// Rows are sorted dev before system, then by port, then by pid; two processes on one port are two rows.
TEST(PortScanner, DevServersCarryTheirTreeAndNestedServersAreNotCountedTwice) {
    Population p;
    // 10 is a dev server and 11, its child, is itself one; 20 is a system server, which has no tree
    // totals; 5 listens on 10's port and is listed after it.
    p.snapshot.records = {
        record(10, 1, "/usr/bin/node", 100, 1.0),    record(11, 10, "/usr/bin/node", 50, 2.0),
        record(12, 11, "/usr/bin/esbuild", 25, 0.5), record(13, 10, "/bin/sleep", 10),
        record(20, 1, "/usr/sbin/sshd", 7),          record(5, 1, "/usr/bin/node", 1),
        record(30, 1, "/usr/bin/docker-proxy", 4),   record(31, 30, "/bin/sleep", 4)};
    for (auto [pid, port] : {std::pair{10, 3000}, {11, 24678}, {20, 22}, {30, 8080}, {5, 3000}})
        p.sockets[pid] = {{port, "*"}};
    // 10 listens on every interface and on loopback: one server with every address, seen once.
    p.sockets[10] = {{3000, "127.0.0.1"}, {3000, "*"}, {3000, "127.0.0.1"}};
    p.info = {{10, {999, 0.3, 65, "node server.js"}}};
    p.cwd = {{10, "/home/anna/shop"}};
    auto servers = PortScanner::scan(p.snapshot, p.sources());
    // Docker processes and system servers keep their own memory; a nested server counts its own tree.
    std::vector<std::string> rows;  // pid, memory, processes, kind
    for (const auto& s : servers)
        rows.push_back(std::to_string(s.pid) + " " + std::to_string(s.memoryBytes.value() / 1024) + "K " +
                       (s.processCount ? std::to_string(*s.processCount) : "-") + " " + s.kind.name);
    EXPECT_EQ(rows, (std::vector<std::string>{"5 1K 1 Node", "10 110K 2 Node", "30 4K - Docker",
                                              "11 75K 2 Node", "20 7K - sshd"}));
    const auto &outer = servers[1], &inner = servers[3];
    EXPECT_DOUBLE_EQ(*outer.cpuPercent, 1.0);
    EXPECT_EQ(outer.uptimeSeconds, 65);
    EXPECT_EQ(outer.args, "node server.js");
    EXPECT_EQ(outer.displayDirectory("/home/anna"), "~/shop");
    EXPECT_EQ(outer.address, "*");
    EXPECT_EQ(outer.addresses, (std::vector<std::string>{"127.0.0.1", "*"}));
    EXPECT_FALSE(inner.uptimeSeconds || inner.args) << "no process facts, no uptime and no arguments";
}

// A names-only sample is made whole for the listening processes and their descendants alone, and
// the rows and tree totals read the whole records.
TEST(PortScanner, CompletesOnlyTheListeningTreesOfANamesOnlySample) {
    Population p;
    p.snapshot.records = {record(10, 1, "node", 0), record(11, 10, "esbuild", 0), record(12, 11, "sleep", 0),
                          record(20, 1, "bash", 0), record(21, 20, "sleep", 0)};
    p.sockets = {{10, {{3000, "*"}}}};
    p.info = {{10, {999, 0.3, 65, "node server.js"}}};
    p.cwd = {{10, "/home/anna/shop"}};
    auto sources = p.sources();
    std::vector<std::int32_t> completed;
    std::mutex mutex;
    sources.complete = [&](ProcessRecord& record) {
        std::lock_guard lock(mutex);
        completed.push_back(record.pid);
        record.path = "/opt/bin/" + record.path + "-whole";
        record.memoryBytes = static_cast<std::uint64_t>(record.pid) * 1024;
    };
    auto servers = PortScanner::scan(p.snapshot, sources);
    std::sort(completed.begin(), completed.end());
    EXPECT_EQ(completed, (std::vector<std::int32_t>{10, 11, 12}));
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].processName, "node-whole");
    EXPECT_EQ(servers[0].memoryBytes, std::optional<std::uint64_t>((10 + 11 + 12) * 1024));
    EXPECT_EQ(servers[0].processCount, std::optional<int>(3));
    EXPECT_EQ(p.snapshot.records[0].path, "node") << "the caller's snapshot stays as it was";
}

// A one-shot listing searches every process knowing only its pid, then reads the listening trees
// alone: node 5, which shares its socket with worker 10, with its idle worker 6; not cron.
TEST(PortScanner, ASnapshotOfTheListeningTreesHoldsWhatTheScanShows) {
    Population p;
    const std::vector<ProcessRecord> table{
        record(1, 0, "/sbin/init", 1),     record(5, 1, "/usr/bin/node", 10),
        record(6, 5, "/usr/bin/node", 20), record(10, 5, "/usr/bin/node", 40),
        record(11, 10, "/bin/sh", 1),      record(30, 1, "/usr/sbin/cron", 2)};
    std::vector<std::vector<std::int32_t>> asked;
    ProcessSampler::Sources trees;
    trees.trees = [&](const std::vector<std::int32_t>& roots) {
        asked.push_back(roots);
        std::set<std::int32_t> wanted(roots.begin(), roots.end());
        for (bool grew = true; grew;) {
            grew = false;
            for (const auto& r : table) grew |= wanted.contains(r.ppid) && wanted.insert(r.pid).second;
        }
        std::vector<ProcessReading> readings;
        for (const auto& r : table)
            if (wanted.contains(r.pid))
                readings.push_back(
                    {.pid = r.pid, .ppid = r.ppid, .path = r.path, .memoryBytes = r.memoryBytes});
        return std::optional(readings);
    };
    ProcessSampler sampler(trees);
    auto sources = p.sources();
    std::vector<std::vector<LibProc::ProcessRef>> given;
    sources.listeningSockets = [&](const std::vector<LibProc::ProcessRef>& processes) {
        given.push_back(processes);
        std::unordered_map<std::int32_t, std::vector<LibProc::Socket>> found;
        for (const auto& process : processes)
            if (process.pid == 5 || process.pid == 10) found[process.pid] = {{8000, "*"}};
        return found;
    };
    auto listeners = PortScanner::listeners(sources, {1, 5, 6, 10, 11, 30}, sampler);
    ASSERT_TRUE(listeners);
    EXPECT_EQ(asked, (std::vector<std::vector<std::int32_t>>{{5, 10}}));
    ASSERT_EQ(given.size(), 1u);
    EXPECT_EQ(given[0].size(), 6u) << "every process searched";
    EXPECT_TRUE(std::all_of(given[0].begin(), given[0].end(), [](const auto& process) {
        return process.ppid == 0 && process.startTicks == 0;
    })) << "knowing only pids";
    std::vector<std::int32_t> pids;
    for (const auto& r : listeners->snapshot.records) pids.push_back(r.pid);
    EXPECT_EQ(pids, (std::vector<std::int32_t>{5, 6, 10, 11}));

    auto servers = PortScanner::scan(*listeners, sources);
    EXPECT_EQ(given.size(), 1u) << "the scan takes the sockets the search found";
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].pid, 5);
    EXPECT_EQ(servers[0].processCount, std::optional<int>(2))
        << "its idle worker; the listening one counts apart";
    EXPECT_EQ(servers[0].memoryBytes, std::optional<std::uint64_t>((10 + 20) * 1024));
    EXPECT_EQ(servers[1].processCount, std::optional<int>(2));

    trees.trees = [](const std::vector<std::int32_t>&) {
        return std::optional<std::vector<ProcessReading>>();
    };
    ProcessSampler without(trees);
    EXPECT_FALSE(PortScanner::listeners(sources, {1, 5, 6, 10, 11, 30}, without));
}

}  // namespace
}  // namespace tarvik
