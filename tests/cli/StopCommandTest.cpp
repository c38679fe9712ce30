#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>

#include "core/support/Spawn.hpp"
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

}  // namespace
}  // namespace tarvik
