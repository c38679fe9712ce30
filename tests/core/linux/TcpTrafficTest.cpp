#include "core/platform/linux/TcpTraffic.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace tarvik {
namespace {

// A buffer of replies as the kernel lays them out.
struct Replies {
    std::vector<char> bytes;

    void message(std::uint16_t type, const std::vector<char>& payload) {
        nlmsghdr header{};
        header.nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(payload.size()));
        header.nlmsg_type = type;
        auto start = bytes.size();
        bytes.resize(start + NLMSG_ALIGN(header.nlmsg_len));
        std::memcpy(bytes.data() + start, &header, sizeof header);
        std::copy(payload.begin(), payload.end(), bytes.begin() + static_cast<long>(start + NLMSG_HDRLEN));
    }
    // A socket whose tcp_info attribute is cut to `infoLength` bytes.
    void socket(std::uint32_t inode, std::uint64_t received, std::uint64_t acked, std::size_t infoLength = sizeof(tcp_info)) {
        inet_diag_msg diag{};
        diag.idiag_inode = inode;
        tcp_info info{};
        info.tcpi_bytes_received = received;
        info.tcpi_bytes_acked = acked;
        rtattr attribute{};
        attribute.rta_type = INET_DIAG_INFO;
        attribute.rta_len = static_cast<unsigned short>(RTA_LENGTH(infoLength));
        std::vector<char> payload(NLMSG_ALIGN(sizeof diag) + RTA_ALIGN(attribute.rta_len));
        std::memcpy(payload.data(), &diag, sizeof diag);
        std::memcpy(payload.data() + NLMSG_ALIGN(sizeof diag), &attribute, sizeof attribute);
        std::memcpy(payload.data() + NLMSG_ALIGN(sizeof diag) + RTA_LENGTH(0), &info, infoLength);
        message(SOCK_DIAG_BY_FAMILY, payload);
    }
};

TEST(TcpTrafficParse, ReadsCountersAndSkipsShortInfo) {
    Replies replies;
    replies.socket(42, 1000, 2000);
    replies.socket(43, 5, 5, offsetof(tcp_info, tcpi_bytes_acked));  // an old kernel's shorter struct
    replies.socket(44, 0, 7);
    std::vector<SocketBytes> out;
    EXPECT_EQ(TcpTraffic::parseReplies(replies.bytes.data(), replies.bytes.size(), out), TcpTraffic::Batch::more);
    EXPECT_EQ(out, (std::vector<SocketBytes>{{42, 1000, 2000}, {44, 0, 7}}));

    replies.message(NLMSG_DONE, std::vector<char>(4));
    out.clear();
    EXPECT_EQ(TcpTraffic::parseReplies(replies.bytes.data(), replies.bytes.size(), out), TcpTraffic::Batch::done);
    EXPECT_EQ(out.size(), 2u);
}

TEST(TcpTrafficParse, ErrorsAndTruncatedBuffersFail) {
    Replies error;
    error.message(NLMSG_ERROR, std::vector<char>(sizeof(nlmsgerr)));
    Replies cut;
    cut.socket(1, 1, 1);
    std::vector<SocketBytes> out;
    EXPECT_EQ(TcpTraffic::parseReplies(error.bytes.data(), error.bytes.size(), out), TcpTraffic::Batch::failed);
    EXPECT_EQ(TcpTraffic::parseReplies(cut.bytes.data(), cut.bytes.size() - 8, out), TcpTraffic::Batch::failed);
    EXPECT_TRUE(out.empty());
}

constexpr std::size_t sentBytes = 4 << 20;

// Waits at most five seconds for a byte or an end on `fd`, so that no child can hang.
void awaitByte(int fd) {
    pollfd poller{fd, POLLIN, 0};
    if (poll(&poller, 1, 5000) > 0) {
        char byte;
        (void)!::read(fd, &byte, 1);
    }
}

void boundIo(int fd) {
    timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

// Two children of the test over loopback: the client sends `sentBytes` when told to, the server
// reads them and reports. Both exit when the test closes `hold`, or by themselves after seconds.
struct LoopbackPair {
    int go[2]{-1, -1}, report[2]{-1, -1}, hold[2]{-1, -1};
    pid_t server = -1, client = -1;

    LoopbackPair() {
        if (pipe(go) || pipe(report) || pipe(hold)) return;
        int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        if (bind(listener, generic, sizeof address) || listen(listener, 1) || getsockname(listener, generic, &length))
            return;
        server = fork();
        if (server == 0) {
            close(hold[1]);
            pollfd poller{listener, POLLIN, 0};
            int connection = poll(&poller, 1, 5000) > 0 ? accept(listener, nullptr, nullptr) : -1;
            boundIo(connection);
            static char buffer[65536];
            std::size_t received = 0;
            for (ssize_t n = 1; received < sentBytes && n > 0; received += static_cast<std::size_t>(n > 0 ? n : 0))
                n = recv(connection, buffer, sizeof buffer, 0);
            (void)!write(report[1], "r", 1);
            awaitByte(hold[0]);
            _exit(0);
        }
        close(listener);
        client = fork();
        if (client == 0) {
            close(hold[1]);
            int connection = ::socket(AF_INET, SOCK_STREAM, 0);
            boundIo(connection);
            if (connect(connection, generic, sizeof address) == 0) {
                awaitByte(go[0]);
                static char buffer[65536];
                for (std::size_t sent = 0; sent < sentBytes;) {
                    ssize_t n = send(connection, buffer, std::min(sizeof buffer, sentBytes - sent), MSG_NOSIGNAL);
                    if (n <= 0) break;
                    sent += static_cast<std::size_t>(n);
                }
            }
            awaitByte(hold[0]);
            _exit(0);
        }
    }

    ~LoopbackPair() {
        for (int fd : {go[0], go[1], report[0], report[1], hold[0], hold[1]})
            if (fd >= 0) close(fd);
        for (pid_t child : {server, client}) {
            if (child <= 0) continue;
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
            while (waitpid(child, nullptr, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() > deadline) {
                    kill(child, SIGKILL);
                    waitpid(child, nullptr, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    }
};

const ProcessTraffic* rowOf(const std::vector<ProcessTraffic>& rows, pid_t pid) {
    auto found = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.pid == pid; });
    return found == rows.end() ? nullptr : &*found;
}

TEST(TcpTrafficLive, SampleSeesBothEndsOfALoopbackTransfer) {
    LoopbackPair pair;
    ASSERT_GT(pair.server, 0);
    ASSERT_GT(pair.client, 0);
    auto rows = NetworkUsage::sample([&] {
        (void)!write(pair.go[1], "g", 1);
        awaitByte(pair.report[0]);
        // The receiver's last acknowledgement may be delayed by a few tens of milliseconds.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    const auto* server = rowOf(rows, pair.server);
    const auto* client = rowOf(rows, pair.client);
    ASSERT_TRUE(server && client) << rows.size() << " rows";
    EXPECT_NEAR(static_cast<double>(server->bytesIn), sentBytes, sentBytes * 0.1);
    EXPECT_NEAR(static_cast<double>(client->bytesOut), sentBytes, sentBytes * 0.1);
    EXPECT_FALSE(client->name.empty());
}

}  // namespace
}  // namespace tarvik
