#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <optional>

#include "core/support/Spawn.hpp"
#include "support/FakeEngine.hpp"
#include "support/ProcStat.hpp"
#include "support/RunCli.hpp"
#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

Spawn::Result stop(const std::string& target, bool force = false) {
    std::vector<std::string> arguments{"stop", target};
    if (force) arguments.push_back("--force");
    return Spawn::run(TARVIK_BINARY, arguments);
}

// Workers forked to share a port are one server: one sentence says it stopped and what is free.
TEST(StopCommand, StopsAServerWithItsWorkersAndSaysWhatIsFree) {
    test::TestProcess server(test::listener({"--share", "2"}));
    auto numbers = server.numbers();
    ASSERT_EQ(numbers.size(), 3u);
    auto result = stop(std::to_string(numbers[0]));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(std::ranges::count(result.output, '\n'), 1) << result.output;
    EXPECT_NE(result.output.find("stopped."), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("port " + std::to_string(numbers[0])), std::string::npos) << result.output;
    for (int pid : {server.pid(), numbers[1], numbers[2]}) EXPECT_TRUE(test::waitUntilGone(pid, 30s));
}

TEST(StopCommand, AServerThatIgnoresTermIsReportedAndGoesWithForce) {
    test::TestProcess server(test::listener({"--ignore-term"}));
    auto port = std::to_string(server.numbers().at(0));
    auto gentle = stop(port);
    EXPECT_EQ(gentle.status, 1);
    EXPECT_NE(gentle.output.find("still running"), std::string::npos) << gentle.output;
    EXPECT_NE(gentle.output.find("--force"), std::string::npos) << gentle.output;
    EXPECT_TRUE(test::isRunning(server.pid()));
    EXPECT_EQ(stop(port, true).status, 0);
    EXPECT_FALSE(test::isRunning(server.pid()));
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
        auto expected =
            listsContainers
                ? "tarvik: Docker did not answer within 5 s; container web may still be running.\n"
                : "tarvik: Docker did not answer, so which container publishes port " + port +
                      " is not known; nothing was stopped.\n";
        EXPECT_NE(result.output.find(expected), std::string::npos) << result.output;
        auto list = engine.tarvik({"list", "--all", "--interval", "0"});
        EXPECT_EQ(list.status, 0);
        EXPECT_NE(list.output.find(" " + port + " "), std::string::npos) << "the engine was not signalled";
        EXPECT_EQ(list.output.find("tarvik: Docker did not answer within 2 s; containers are not shown.\n") !=
                      std::string::npos,
                  !listsContainers)
            << list.output;
    }
}

// Binds `port` on both IP versions without listening, keeping servers off it; -1 when it is taken.
int holdPort(int port) {
    int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0), dualStack = 0;
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &dualStack, sizeof dualStack);
    sockaddr_in6 address{AF_INET6, htons(static_cast<std::uint16_t>(port)), 0, in6addr_any, 0};
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

// `stop N` reads N as a port, else as a process; N is the pid of an idle process of the test's. With
// the port held free, nothing is stopped; with the test's listener on it, N is not guessed at.
TEST(StopCommand, ANumberIsNeverGuessedAt) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        test::TestProcess idle({"/bin/sh", "-c", "echo ready; exec sleep 30"});
        ASSERT_EQ(idle.firstLine(), "ready");
        const std::string number = std::to_string(idle.pid());
        const bool isPort = idle.pid() <= 65535;
        int hold = isPort ? holdPort(idle.pid()) : -1;
        if (isPort && hold < 0) continue;  // in use: try another pid
        auto nothing = stop(number);
        if (hold >= 0) close(hold);
        EXPECT_EQ(nothing.status, 1);
        EXPECT_TRUE(nothing.output.empty()) << nothing.output;
        EXPECT_TRUE(test::isRunning(idle.pid()));
        if (!isPort) continue;
        test::TestProcess server(test::listener({"--port", number}));
        if (server.firstLine() != number) continue;  // the port is taken: try another pid

        auto ambiguous = test::runCli({"stop", number});
        EXPECT_EQ(ambiguous.status, 2);
        EXPECT_NE(ambiguous.err.find("--port " + number), std::string::npos) << ambiguous.err;
        auto byPid = test::runCli({"stop", "--pid", number});
        EXPECT_EQ(byPid.status, 1);
        EXPECT_NE(byPid.err.find("listens on no TCP port"), std::string::npos) << byPid.err;
        EXPECT_TRUE(test::isRunning(idle.pid()) && test::isRunning(server.pid())) << "nothing was signalled";

        auto byPort = test::runCli({"stop", "--port", number});
        EXPECT_EQ(byPort.status, 0) << byPort.err;
        EXPECT_FALSE(test::isRunning(server.pid()));
        EXPECT_TRUE(test::isRunning(idle.pid()));
        return;
    }
    GTEST_SKIP() << "every pid was above the port range or its port was taken";
}

TEST(StopCommand, ReadsOnlyDecimalNumbers) {
    for (const char* target : {"0x10", "abc", "-5", "1e3", "99999999", "0"}) {
        auto said = test::runCli({"stop", target});
        EXPECT_EQ(said.status, 2) << target << ": " << said.err;
        EXPECT_EQ(std::ranges::count(said.err, '\n'), 1) << said.err;
    }
    EXPECT_NE(test::runCli({"stop", "0x10"}).err.find("decimal"), std::string::npos);
}

// 012345 read in octal is 5349: the server there is not the one meant.
TEST(StopCommand, ALeadingZeroStillMeansTheDecimalPort) {
    test::TestProcess meant(test::listener({"--port", "12345"}));
    test::TestProcess octal(test::listener({"--port", "5349"}));
    if (meant.firstLine() != "12345" || octal.firstLine() != "5349")
        GTEST_SKIP() << "port 12345 or 5349 is taken on this machine";
    if (meant.pid() != 12345 && octal.pid() != 12345 && test::isRunning(12345))
        GTEST_SKIP() << "a process 12345 runs, which makes the number mean two things";
    auto said = test::runCli({"stop", "012345"});
    EXPECT_EQ(said.status, 0) << said.out << said.err;
    EXPECT_NE(said.out.find("port 12345"), std::string::npos) << said.out;
    EXPECT_TRUE(test::waitUntilGone(meant.pid(), 30s));
    EXPECT_TRUE(test::isRunning(octal.pid()));
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

// The stop signals the whole tree: a server the stopped one started goes too, and is named.
TEST(StopCommand, NamesEveryServerOfTheTreeItEnds) {
    test::TempDir folder;
    auto listener = test::listener({});
    // The shell starts the child listener, then becomes the parent one.
    test::TestProcess parent({"/bin/sh", "-c", "\"$0\" \"$1\" >\"$2\" & echo $! >\"$3\"; exec \"$0\" \"$1\"",
                              listener[0], listener[1], folder / "port", folder / "pid"});
    const std::string parentPort = parent.firstLine(), childPort = firstLineOf(folder / "port");
    const std::string childPid = firstLineOf(folder / "pid");
    ASSERT_FALSE(parentPort.empty() || childPort.empty() || childPid.empty());

    auto said = test::runCli({"stop", "--port", parentPort});
    EXPECT_EQ(said.status, 0) << said.out << said.err;
    EXPECT_EQ(std::ranges::count(said.out, '\n'), 1) << said.out;
    EXPECT_NE(said.out.find("stopped, and so did Python on port " + childPort + "."), std::string::npos)
        << said.out;
    for (const auto& port : {parentPort, childPort})
        EXPECT_NE(said.out.find(port), std::string::npos) << said.out;
    EXPECT_TRUE(test::waitUntilGone(parent.pid(), 30s));
    EXPECT_TRUE(test::waitUntilGone(std::stoi(childPid), 30s));
}

// A port nothing listens on now, on 127.0.0.1; 0 when none was given.
int freePort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0) close(fd);
    return port;
}

// A shell loop starts the server again as soon as it ends: the stop says so and frees nothing.
TEST(StopCommand, AServerItsSupervisorRestartsIsToldAsRestarted) {
    const int port = freePort();
    ASSERT_NE(port, 0);
    const std::string number = std::to_string(port);
    auto command = test::listener({"--port", number, "--ttl", "30"});
    // Five rounds at most, so the loop ends by itself; the group goes with the test in any case.
    command.insert(command.begin(),
                   {"/bin/sh", "-c", "i=0; while [ $i -lt 5 ]; do i=$((i+1)); \"$@\"; done", "supervisor"});
    test::TestProcess supervisor(command);
    if (supervisor.firstLine() != number) GTEST_SKIP() << "port " << number << " was taken meanwhile";

    auto said = test::runCli({"stop", "--port", number});
    EXPECT_EQ(said.status, 1) << said.out << said.err;
    EXPECT_NE(said.out.find("on port " + number + " was restarted by its parent "), std::string::npos)
        << said.out;
    EXPECT_NE(said.out.find("(process " + std::to_string(supervisor.pid()) + "); stop that to end it."),
              std::string::npos)
        << said.out;
    EXPECT_EQ(said.out.find("free"), std::string::npos) << said.out;
    EXPECT_TRUE(test::isRunning(supervisor.pid())) << "the supervisor is not the stop's to end";
}

}  // namespace
}  // namespace tarvik
