#include "core/servers/ProcessControl.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>

#include "core/servers/PortScanner.hpp"
#include "support/ProcStat.hpp"
#include "support/TempDir.hpp"
#include "support/TempHome.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

// A suspended process holds SIGTERM until it is continued, so every gentle stop continues what it
// asks to end, right after asking; a kill needs no help. 10's children are signalled by the
// follow-up, orphaned by then, but for 12, whose pid another process took meanwhile.
TEST(ProcessControl, EveryTermIsFollowedByAContinue) {
    using Sent = std::vector<std::pair<std::int32_t, int>>;
    struct Case {
        const char* what;
        std::function<void(ProcessControl&)> act;
        Sent expected;
    };
    const std::vector<Case> cases{{"a stop with its follow-up",
                                   [](ProcessControl& c) { c.carryOut(StopActions::SignalProcess{10}); },
                                   {{10, SIGTERM}, {10, SIGCONT}, {11, SIGTERM}, {11, SIGCONT}}},
                                  {"a group stop",
                                   [](ProcessControl& c) { c.stopGroup({Server{.pid = 10}}); },
                                   {{10, SIGTERM}, {10, SIGCONT}, {11, SIGTERM}, {11, SIGCONT}}},
                                  {"a tidy-up, once per process",
                                   [](ProcessControl& c) {
                                       c.tidyUp({Server{.pid = 10}, Server{.pid = 10}});
                                   },
                                   {{10, SIGTERM}, {10, SIGCONT}}},
                                  {"a kill",
                                   [](ProcessControl& c) { c.carryOut(StopActions::ForceSignalProcess{10}); },
                                   {{10, SIGKILL}, {11, SIGKILL}}},
                                  {"pid 0, pid 1 and this process",
                                   [](ProcessControl& c) {
                                       EXPECT_FALSE(c.carryOut(StopActions::SignalProcess{1}));
                                       EXPECT_FALSE(c.carryOut(StopActions::ForceSignalProcess{0}));
                                       EXPECT_FALSE(c.carryOut(StopActions::SignalProcess{getpid()}));
                                       c.tidyUp({Server{.pid = 1}, Server{.pid = getpid()}});
                                   },
                                   {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sent sent;
        int tables = 0;
        ProcessControl control(
            {[&] {
                 if (tables++ == 0)
                     return std::vector<ProcessRow>{
                         {10, 1, 0, 0, 100}, {11, 10, 0, 0, 110}, {12, 10, 0, 0, 120}};
                 return std::vector<ProcessRow>{{11, 1, 0, 0, 110}, {12, 1, 0, 0, 900}};
             },
             {},
             [&](std::int32_t pid, int signal) { return sent.emplace_back(pid, signal), 0; },
             1ms});
        c.act(control);
        control.waitIdle();
        EXPECT_EQ(sent, c.expected);
    }
}

// However many stops come, their follow-ups and container commands share a few threads rather
// than holding one each until the end.
TEST(ProcessControl, FollowUpsShareAFewThreads) {
    const auto before = test::threadCount();
    std::atomic<std::size_t> most{before};
    auto note = [&] {
        for (auto seen = most.load(), now = test::threadCount();
             now > seen && !most.compare_exchange_weak(seen, now);) {
        }
    };
    std::vector<ProcessRow> table;
    for (std::int32_t i = 0; i < 100; ++i)  // each with a child, for a follow-up
        table.insert(table.end(), {{1000 + i, 1, 0, 0, 10}, {2000 + i, 1000 + i, 0, 0, 20}});
    ProcessControl control({.processTable = [&] { return table; },
                            .docker = [] { return std::optional<std::string>("/bin/true"); },
                            .sendSignal = [&](std::int32_t, int) { return note(), 0; },
                            .followUpDelay = 5ms});
    for (std::int32_t i = 0; i < 100; ++i) {
        EXPECT_TRUE(control.carryOut(StopActions::SignalProcess{1000 + i}));
        EXPECT_TRUE(control.carryOut(StopActions::StopContainer{"web" + std::to_string(i)}));
        note();
    }
    control.waitIdle();
    EXPECT_TRUE(control.unansweredContainers().empty());
    EXPECT_LE(most, before + ProcessControl::laterThreads);
}

// The server's child, orphaned when the server goes, is stopped by a follow-up whether pid 1 or
// a subreaper adopts it; suspended both, as Ctrl-Z leaves a foreground job, they end all the same.
TEST(ProcessControl, ASuspendedServerAndItsOrphanedChildEndOnAGentleStop) {
    for (int subreaper : {0, 1}) {
        SCOPED_TRACE(subreaper ? "this process adopts orphans, as a desktop's service manager does"
                               : "pid 1");
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, subreaper), 0);
        test::TestProcess server(test::listener({"--children", "1"}));
        pid_t child = server.numbers().at(1);
        ASSERT_EQ(kill(-server.pid(), SIGSTOP), 0);
        ASSERT_TRUE(test::waitUntil(10s, [&] {
            auto a = test::procStat(server.pid()), b = test::procStat(child);
            return a && a->state == 'T' && b && b->state == 'T';
        }));
        ProcessControl control;
        ASSERT_TRUE(control.carryOut(StopActions::SignalProcess{server.pid()}));
        control.waitIdle();
        EXPECT_TRUE(test::waitUntilGone(server.pid(), 10s));
        EXPECT_TRUE(test::waitUntilGone(child, 10s));
        if (subreaper) kill(child, SIGKILL), waitpid(child, nullptr, 0);  // ours, started by our server
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST(ProcessControl, ARestartRunsTheSameArgvWithoutReinterpretingIt) {
    test::TempDir folder;
    // Text that a shell would act on: quotes, a trailing backslash before an argument that would
    // close its quotes under fish, command separators and substitutions, a newline, invalid UTF-8.
    std::string title = "a b $(touch x) `touch y` 'q' \"dq\" x\\ " + folder.path().filename().string();
    auto original = test::listener({"--title", title, "--note", "x\\", "--note", ";touch z;echo", "--note",
                                    "line\nbreak", "--note", "Gr\xfcn"});
    std::vector<pid_t> restarted;
    {
        test::TestProcess server(original, folder.path().string());
        ASSERT_FALSE(server.numbers().empty());
        ProcessSampler sampler;
        auto servers = PortScanner::scan(sampler.sample());
        auto found = std::find_if(servers.begin(), servers.end(),
                                  [&](const Server& s) { return s.pid == server.pid(); });
        ASSERT_NE(found, servers.end());
        ProcessControl control;
        ASSERT_TRUE(control.carryOut(StopActions::ForceSignalProcess{server.pid()}));
        ASSERT_TRUE(test::waitUntilGone(server.pid(), 30s));
        // The restart goes through a login shell, whose start-up files write where they like.
        test::TempHome home;
        ASSERT_TRUE(control.restart(*found));
        test::waitUntil(30s, [&] { return !(restarted = test::pidsRunning(original)).empty(); });
    }
    ASSERT_EQ(restarted.size(), 1u) << "no process with the original argv appeared";
    kill(restarted[0], SIGKILL);  // the relaunched listener, ours
    for (const char* made : {"x", "y", "z"})
        EXPECT_FALSE(std::filesystem::exists(folder.path() / made)) << made;
}

}  // namespace
}  // namespace tarvik
