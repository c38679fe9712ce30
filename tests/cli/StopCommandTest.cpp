#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <sstream>

#include "cli/Cli.hpp"
#include "core/support/Spawn.hpp"
#include "support/FakeEngine.hpp"
#include "support/ProcStat.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

Spawn::Result stop(int port, bool force = false) {
    std::vector<std::string> arguments{"stop", std::to_string(port)};
    if (force) arguments.push_back("--force");
    return Spawn::run(TARVIK_BINARY, arguments);
}

TEST(StopCommand, StopsAServerAndSaysWhatIsFree) {
    test::TestProcess server(test::listener({}));
    int port = server.numbers().at(0);
    auto result = stop(port);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("stopped."), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("port " + std::to_string(port)), std::string::npos) << result.output;
    EXPECT_FALSE(test::isRunning(server.pid()));
}

TEST(StopCommand, AServerThatIgnoresTermIsReportedAndGoesWithForce) {
    test::TestProcess server(test::listener({"--ignore-term"}));
    int port = server.numbers().at(0);
    auto gentle = stop(port);
    EXPECT_EQ(gentle.status, 1);
    EXPECT_NE(gentle.output.find("still running"), std::string::npos) << gentle.output;
    EXPECT_NE(gentle.output.find("--force"), std::string::npos) << gentle.output;
    EXPECT_TRUE(test::isRunning(server.pid()));

    auto forced = stop(port, true);
    EXPECT_EQ(forced.status, 0) << forced.output;
    EXPECT_FALSE(test::isRunning(server.pid()));
}

TEST(StopCommand, GivesUpOnAContainerWhenDockerDoesNotAnswer) {
    for (bool listsContainers : {true, false}) {
        test::FakeEngine engine(listsContainers);
        auto port = std::to_string(engine.port());
        auto result = engine.tarvik({"stop", "--force", port});
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.status, 1);
        // Without the container list the port's holder is the engine itself, which is never signalled.
        auto expected =
            listsContainers
                ? "tarvik: Docker did not answer within 5 s; container web may still be running.\n"
                : "tarvik: Docker did not answer, so which container publishes port " + port +
                      " is not known; nothing was stopped.\n";
        EXPECT_NE(result.output.find(expected), std::string::npos) << result.output;
        EXPECT_NE(engine.tarvik({"list", "--all", "--interval", "0"}).output.find(" " + port + " "),
                  std::string::npos)
            << "the engine was not signalled";
    }
}

// Keeps a port number from every address, for both IP versions, while it lives. The socket is
// bound but never listens, so it takes no connection and is no server.
class PortHold {
public:
    explicit PortHold(int port) : m_fd(socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        int dualStack = 0;
        setsockopt(m_fd, IPPROTO_IPV6, IPV6_V6ONLY, &dualStack, sizeof dualStack);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(static_cast<std::uint16_t>(port));
        address.sin6_addr = in6addr_any;
        m_held = m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~PortHold() {
        if (m_fd >= 0) close(m_fd);
    }
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;
    [[nodiscard]] bool held() const { return m_held; }

private:
    int m_fd;
    bool m_held = false;
};

// `stop N` reads N as a port and, when nothing listens there, as a process. The number here is the
// pid of an idle process of the test's own with that port held free of listeners, so whatever
// else runs on the machine, the command finds nothing to stop and signals nobody.
TEST(StopCommand, ANumberWithoutAServerIsAnError) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        test::TestProcess idle({"/bin/sh", "-c", "echo ready; exec sleep 30"});
        ASSERT_EQ(idle.firstLine(), "ready");
        const int number = idle.pid();
        std::optional<PortHold> hold;
        if (number <= 65535 && !hold.emplace(number).held()) continue;  // in use: try another pid
        auto result = stop(number);
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.output.empty()) << result.output;
        EXPECT_TRUE(test::isRunning(idle.pid()));
        return;
    }
    FAIL() << "the pid of every process started was a port in use";
}

// What the command says, both streams, run in this process.
struct Said {
    int status = 0;
    std::string out, err;
};
Said run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "tarvik");
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    std::ostringstream out, err;
    int status = cli::run(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

TEST(StopCommand, ReadsOnlyDecimalNumbers) {
    for (const char* target : {"0x10", "abc", "-5", "1e3", "99999999", "0"}) {
        SCOPED_TRACE(target);
        auto said = run({"stop", target});
        EXPECT_EQ(said.status, 2) << said.err;
        EXPECT_EQ(std::count(said.err.begin(), said.err.end(), '\n'), 1) << said.err;
    }
    EXPECT_NE(run({"stop", "0x10"}).err.find("decimal"), std::string::npos);
}

// A number that is both a port with a server and a running process is not guessed at: the test's
// idle child's pid is the port its own listener takes.
TEST(StopCommand, AsksWhichWhenANumberIsBothAPortAndAProcess) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        test::TestProcess idle({"/bin/sh", "-c", "echo ready; exec sleep 30"});
        ASSERT_EQ(idle.firstLine(), "ready");
        const std::string number = std::to_string(idle.pid());
        if (idle.pid() > 65535) continue;
        test::TestProcess server(test::listener({"--port", number}));
        if (server.firstLine() != number) continue;  // the port is taken: try another pid

        auto ambiguous = run({"stop", number});
        EXPECT_EQ(ambiguous.status, 2);
        EXPECT_NE(ambiguous.err.find("--port " + number), std::string::npos) << ambiguous.err;
        auto byPid = run({"stop", "--pid", number});
        EXPECT_EQ(byPid.status, 1);
        EXPECT_NE(byPid.err.find("listens on no TCP port"), std::string::npos) << byPid.err;
        EXPECT_TRUE(test::isRunning(idle.pid()) && test::isRunning(server.pid())) << "nothing was signalled";

        auto byPort = run({"stop", "--port", number});
        EXPECT_EQ(byPort.status, 0) << byPort.err;
        EXPECT_FALSE(test::isRunning(server.pid()));
        EXPECT_TRUE(test::isRunning(idle.pid()));
        return;
    }
    GTEST_SKIP() << "every pid was above the port range or its port was taken";
}

// Workers forked to share a port are one server: one sentence says it stopped.
TEST(StopCommand, SaysOneSentenceForWorkersSharingAPort) {
    test::TestProcess server(test::listener({"--share", "2"}));
    auto numbers = server.numbers();
    ASSERT_EQ(numbers.size(), 3u);
    auto said = run({"stop", "--port", std::to_string(numbers[0])});
    EXPECT_EQ(said.status, 0) << said.err;
    EXPECT_EQ(std::count(said.out.begin(), said.out.end(), '\n'), 1) << said.out;
    EXPECT_NE(said.out.find("stopped."), std::string::npos) << said.out;
    for (int worker : {numbers[1], numbers[2]})
        EXPECT_TRUE(test::waitUntilGone(worker, std::chrono::seconds(30)));
}

}  // namespace
}  // namespace tarvik
