#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "support/FakeEngine.hpp"
#include "support/ProcStat.hpp"
#include "support/RunCli.hpp"
#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// List leaves the containers out and says so; stop gives up on the container, and without the
// container list on the port, whose holder is then the engine itself, which is never signalled.
TEST(StopCommand, GivesUpOnAContainerWhenDockerDoesNotAnswer) {
    for (bool listsContainers : {true, false}) {
        SCOPED_TRACE(listsContainers ? "containers listed" : "nothing answered");
        test::FakeEngine engine(listsContainers);
        auto port = std::to_string(engine.port());
        auto result = engine.tarvik({"stop", "--force", port});
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(
            has(result.output, listsContainers
                                   ? "tarvik: Docker did not answer within 5 s; container web may still "
                                     "be running.\n"
                                   : "tarvik: Docker did not answer, so which container publishes port " +
                                         port + " is not known; nothing was stopped.\n"))
            << result.output;
        auto list = engine.tarvik({"list", "--all", "--interval", "0"});
        EXPECT_EQ(list.status, 0);
        EXPECT_TRUE(has(list.output, " " + port + " ")) << "the engine was not signalled";
        EXPECT_EQ(has(list.output, "tarvik: Docker did not answer within 2 s; containers are not shown.\n"),
                  !listsContainers)
            << list.output;
    }
}

// `stop N`, N both the port of the test's listener and the pid of an idle process of the test's, is
// refused until --port or --pid says which; neither reading signals the other.
TEST(StopCommand, ANumberIsNeverGuessedAt) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        test::TestProcess idle({"/bin/sh", "-c", "echo ready; exec sleep 30"});
        ASSERT_EQ(idle.firstLine(), "ready");
        const std::string number = std::to_string(idle.pid());
        if (idle.pid() > 65535) continue;
        test::TestProcess server(test::listener({"--port", number}));
        if (server.firstLine() != number) continue;  // the port is taken: try another pid

        auto ambiguous = test::runCli({"stop", number});
        EXPECT_EQ(ambiguous.status, 2);
        EXPECT_TRUE(has(ambiguous.err, "--port " + number)) << ambiguous.err;
        auto byPid = test::runCli({"stop", "--pid", number});
        EXPECT_EQ(byPid.status, 1);
        EXPECT_TRUE(has(byPid.err, "listens on no TCP port")) << byPid.err;
        EXPECT_TRUE(test::isRunning(idle.pid()) && test::isRunning(server.pid())) << "nothing was signalled";

        auto byPort = test::runCli({"stop", "--port", number});
        EXPECT_EQ(byPort.status, 0) << byPort.err;
        EXPECT_FALSE(test::isRunning(server.pid()));
        EXPECT_TRUE(test::isRunning(idle.pid()));
        return;
    }
    GTEST_SKIP() << "every pid was above the port range or its port was taken";
}

// The first line of `path`, waiting for it at most 10 s; empty when none came.
std::string firstLineOf(const std::string& path) {
    std::string line;
    test::waitUntil(10s, [&] {
        std::ifstream in(path);
        return std::getline(in, line) && !in.eof() && !line.empty();
    });
    return line;
}

// The stop signals the whole tree: a server the stopped one started on a port of its own goes too,
// and is named. The stopped one and the workers that share its port ignore SIGTERM, which the stop
// says, and go with --force, which one sentence tells.
TEST(StopCommand, EndsTheWholeTreeAndSaysWhatStillRuns) {
    test::TempDir folder;
    auto listener = test::listener({});
    // The shell starts the child listener, then becomes the parent one, with two workers.
    test::TestProcess parent(
        {"/bin/sh", "-c",
         "\"$0\" \"$1\" >\"$2\" & echo $! >\"$3\"; exec \"$0\" \"$1\" --share 2 --ignore-term", listener[0],
         listener[1], folder / "port", folder / "pid"});
    auto numbers = parent.numbers();
    const std::string childPort = firstLineOf(folder / "port"), childPid = firstLineOf(folder / "pid");
    ASSERT_FALSE(numbers.size() != 3 || childPort.empty() || childPid.empty());
    const std::string port = std::to_string(numbers[0]);

    auto gentle = test::runCli({"stop", port});
    EXPECT_EQ(gentle.status, 1);
    EXPECT_TRUE(has(gentle.out, "still running. Run tarvik stop " + port + " --force")) << gentle.out;
    EXPECT_TRUE(has(gentle.out, "Python on port " + childPort + " stopped.")) << gentle.out;
    EXPECT_TRUE(test::waitUntilGone(std::stoi(childPid), 30s));
    for (int pid : {parent.pid(), numbers[1], numbers[2]}) EXPECT_TRUE(test::isRunning(pid)) << pid;

    auto forced = test::runCli({"stop", port, "--force"});
    EXPECT_EQ(forced.status, 0) << forced.out << forced.err;
    EXPECT_EQ(std::ranges::count(forced.out, '\n'), 1) << forced.out;
    EXPECT_TRUE(has(forced.out, "stopped.") && has(forced.out, "port " + port)) << forced.out;
    for (int pid : {parent.pid(), numbers[1], numbers[2]}) EXPECT_TRUE(test::waitUntilGone(pid, 30s)) << pid;
}

// A shell loop starts the server again as soon as it ends: the stop says so and frees nothing.
TEST(StopCommand, AServerItsSupervisorRestartsIsToldAsRestarted) {
    std::string number = test::TestProcess(test::listener({})).firstLine();  // a port free a moment ago
    auto command = test::listener({"--port", number, "--ttl", "30"});
    // Five rounds at most, so the loop ends by itself; the group goes with the test in any case.
    command.insert(command.begin(),
                   {"/bin/sh", "-c", "i=0; while [ $i -lt 5 ]; do i=$((i+1)); \"$@\"; done", "supervisor"});
    test::TestProcess supervisor(command);
    if (supervisor.firstLine() != number) GTEST_SKIP() << "port " << number << " was taken meanwhile";

    auto said = test::runCli({"stop", "--port", number});
    EXPECT_EQ(said.status, 1) << said.out << said.err;
    EXPECT_TRUE(has(said.out, "on port " + number + " was restarted by its parent ")) << said.out;
    EXPECT_TRUE(has(said.out, "(process " + std::to_string(supervisor.pid()) + "); stop that to end it."))
        << said.out;
    EXPECT_FALSE(has(said.out, "free")) << said.out;
    EXPECT_TRUE(test::isRunning(supervisor.pid())) << "the supervisor is not the stop's to end";
}

}  // namespace
}  // namespace tarvik
