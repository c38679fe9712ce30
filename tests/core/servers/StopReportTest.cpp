#include "core/servers/StopReport.hpp"

#include <gtest/gtest.h>

#include <map>

namespace tarvik {
namespace {

Server server(std::int32_t pid, int port, std::string kind, std::uint64_t megabytes = 100) {
    Server s;
    s.pid = pid;
    s.port = port;
    s.processName = kind;
    s.kind = {std::move(kind), "lightning-fill"};
    s.category = ServerCategory::dev;
    s.memoryBytes = megabytes << 20;
    return s;
}

std::vector<int> ports(const std::vector<Server>& servers) {
    std::vector<int> result;
    for (const auto& s : servers) result.push_back(s.port);
    return result;
}

std::string nameOf(std::int32_t pid) {
    static const std::map<std::int32_t, std::string> names{{4242, "bash"}, {1, "systemd"}};
    auto name = names.find(pid);
    return name == names.end() ? std::string() : name->second;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

// pid 10 (Node.js on 3000 and 9229) started 11 (Vite on 5173), which started 12 (Python on 9000);
// 20 is another tree's server; 30 is an unrelated process.
const std::vector<ProcessRow> table{{1, 0, 0, 0, 1},      {10, 1, 0, 0, 100}, {11, 10, 0, 0, 110},
                                    {12, 11, 0, 0, 120},  {20, 1, 0, 0, 200}, {30, 1, 0, 0, 300},
                                    {4242, 1, 0, 0, 4242}};
const Server node = server(10, 3000, "Node.js", 120), inspector = server(10, 9229, "Node.js", 120),
             vite = server(11, 5173, "Vite", 80), python = server(12, 9000, "Python", 40),
             other = server(20, 8080, "Go", 10);
const std::vector<Server> before{node, inspector, vite, python, other};

// The tree is what the tests below hand the assessment: a wrong one names the wrong servers.
TEST(StopReport, EveryListedServerOfTheTreeThatEndsIsNamedWithItsPort) {
    EXPECT_TRUE(StopReport::tree(99, table).empty());
    EXPECT_EQ(StopReport::tree(10, table).back().started, 120u) << "a restart is told by its start time";
    auto outcome = StopReport::assess({node}, StopReport::tree(10, table), before, {other},
                                      {table[0], table[4]}, nameOf);
    EXPECT_EQ(ports(outcome.ended), (std::vector<int>{3000, 9229}));
    EXPECT_EQ(ports(outcome.alsoEnded), (std::vector<int>{5173, 9000}));
    EXPECT_TRUE(outcome.running.empty() && outcome.restarted.empty());
    EXPECT_EQ(outcome.freedPorts, (std::vector<int>{3000, 5173, 9000, 9229}));
    EXPECT_EQ(outcome.freedBytes, 240ull << 20) << "each process once";
    EXPECT_EQ(
        StopReport::sentences(outcome),
        (std::vector<std::string>{"Node.js stopped, and so did Vite on port 5173 and Python on port 9000. "
                                  "240 MB and ports 3000, 5173, 9000 and 9229 are free."}));
    // A group stop is told under the group's name.
    EXPECT_EQ(StopReport::sentences(outcome, "shop").front().substr(0, 27), "shop stopped, and so did Vi");
}

TEST(StopReport, WhatStillRunsIsNeitherEndedNorFreed) {
    // Python ignored its signal; a server of another tree shares nothing with the stop.
    auto outcome =
        StopReport::assess({node}, StopReport::tree(10, table), before, {python, other}, table, nameOf);
    EXPECT_EQ(ports(outcome.running), (std::vector<int>{9000}));
    EXPECT_EQ(ports(outcome.alsoEnded), (std::vector<int>{5173}));
    EXPECT_EQ(outcome.freedPorts, (std::vector<int>{3000, 5173, 9229}));
    EXPECT_EQ(
        joined(StopReport::sentences(outcome)),
        "Node.js stopped, and so did Vite on port 5173. 200 MB and ports 3000, 5173 and 9229 are free.\n");

    // The chosen process itself still runs: only its child is told about.
    outcome = StopReport::assess({vite}, StopReport::tree(11, table), before, {vite, other}, table, nameOf);
    EXPECT_EQ(ports(outcome.running), (std::vector<int>{5173}));
    EXPECT_EQ(joined(StopReport::sentences(outcome)),
              "Python on port 9000 stopped. 40 MB and port 9000 are free.\n");
}

TEST(StopReport, AServerBackOnItsPortUnderANewProcessWasRestarted) {
    struct Case {
        const char* what;
        Server after;                  // who holds port 5173 after the stop
        std::vector<ProcessRow> rows;  // the table after
        std::string said;
    };
    const std::vector<ProcessRow> common{table[0], table[4], table[6]};
    auto with = [&](std::vector<ProcessRow> extra) {
        extra.insert(extra.begin(), common.begin(), common.end());
        return extra;
    };
    const std::vector<Case> cases{
        {"a new pid under a shell loop", server(77, 5173, "Vite"), with({{77, 4242, 0, 0, 900}}),
         "Vite on port 5173 was restarted by its parent bash (process 4242); stop that to end it.\n"},
        {"the same pid started anew", server(11, 5173, "Vite"), with({{11, 4242, 0, 0, 901}}),
         "Vite on port 5173 was restarted by its parent bash (process 4242); stop that to end it.\n"},
        {"a service", server(78, 5173, "Vite"), with({{78, 1, 0, 0, 902}}),
         "Vite on port 5173 was started again by process 1, the system's service manager; stop its service "
         "to end it.\n"},
        {"a parent without a name", server(79, 5173, "Vite"), with({{79, 555, 0, 0, 903}}),
         "Vite on port 5173 was started again, as process 79.\n"},
        {"a listener of another user", server(0, 5173, "Vite"), common,
         "Vite on port 5173 was started again, by a process of another user.\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto outcome = StopReport::assess({vite}, {table[2]}, before, {c.after, node, other}, c.rows, nameOf);
        ASSERT_EQ(outcome.restarted.size(), 1u);
        EXPECT_EQ(outcome.restarted[0].server, vite);
        EXPECT_EQ(outcome.restarted[0].pid, c.after.pid);
        EXPECT_TRUE(outcome.ended.empty() && outcome.running.empty());
        auto said = joined(StopReport::sentences(outcome));
        EXPECT_EQ(said, c.said);
        EXPECT_EQ(said.find("free"), std::string::npos);
    }
}

TEST(StopReport, WithARestartNothingIsSaidToBeFreeButWhatEndedIsNamed) {
    // Node.js (3000, 9229) came back as 50 under bash; its children ended for good.
    std::vector<ProcessRow> rows{table[0], table[4], table[6], {50, 4242, 0, 0, 999}};
    auto outcome =
        StopReport::assess({node}, StopReport::tree(10, table), before,
                           {server(50, 3000, "Node.js"), server(50, 9229, "Node.js"), other}, rows, nameOf);
    EXPECT_EQ(outcome.restarted.size(), 2u);
    EXPECT_EQ(
        joined(StopReport::sentences(outcome)),
        "Node.js on ports 3000 and 9229 was restarted by its parent bash (process 4242); stop that to end "
        "it.\nVite on port 5173 and Python on port 9000 stopped.\n");
}

TEST(StopReport, AListenerThatWasAlreadyOnThePortIsNoRestart) {
    // 30 listened on 3000 over IPv6 before the stop, and still does.
    auto unrelated = server(30, 3000, "Go");
    std::vector<Server> listed{node, unrelated};
    auto outcome = StopReport::assess({node}, {table[1]}, listed, {unrelated}, {table[0], table[5]}, nameOf);
    EXPECT_TRUE(outcome.restarted.empty());
    EXPECT_EQ(ports(outcome.ended), (std::vector<int>{3000}));
    EXPECT_TRUE(outcome.freedPorts.empty()) << "someone still listens there";
    EXPECT_EQ(joined(StopReport::sentences(outcome)), "Node.js stopped. 120 MB and no ports are free.\n");
}

TEST(StopReport, AContainerIsJudgedByItsNameOnItsPort) {
    auto web = server(900, 8080, "nginx", 50);
    web.containerName = "web";
    auto again = web;
    again.pid = 901;
    auto outcome = StopReport::assess({web}, {}, {web}, {again}, {}, nameOf);
    EXPECT_EQ(outcome.running.size(), 1u) << "the container's name still publishes the port";
    outcome = StopReport::assess({web}, {}, {web}, {}, {}, nameOf);
    EXPECT_EQ(joined(StopReport::sentences(outcome)), "nginx stopped. 50 MB and port 8080 are free.\n");
}

}  // namespace
}  // namespace tarvik
