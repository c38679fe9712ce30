#include "core/platform/linux/TcpTraffic.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/tcp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace tarvik {
namespace {

// A buffer of replies as the kernel lays them out, every part padded to 4 bytes.
struct Replies {
    std::vector<char> bytes;

    void put(const void* data, std::size_t size) {
        auto start = bytes.size();
        bytes.resize(start + NLMSG_ALIGN(size));
        std::memcpy(bytes.data() + start, data, size);
    }
    template <typename Payload>
    void message(std::uint16_t type, const Payload& payload) {
        nlmsghdr header{static_cast<std::uint32_t>(NLMSG_LENGTH(sizeof payload)), type, 0, 0, 0};
        put(&header, sizeof header);
        put(&payload, sizeof payload);
    }
    // A socket whose tcp_info attribute is cut to `infoLength` bytes.
    void socket(std::uint32_t inode, std::uint64_t received, std::uint64_t acked,
                std::size_t infoLength = sizeof(tcp_info)) {
        inet_diag_msg diag{};
        diag.idiag_inode = inode;
        tcp_info info{};
        info.tcpi_bytes_received = received;
        info.tcpi_bytes_acked = acked;
        rtattr attribute{static_cast<unsigned short>(RTA_LENGTH(infoLength)), INET_DIAG_INFO};
        nlmsghdr header{static_cast<std::uint32_t>(NLMSG_LENGTH(sizeof diag + RTA_ALIGN(attribute.rta_len))),
                        SOCK_DIAG_BY_FAMILY, 0, 0, 0};
        for (auto [data, size] : {std::pair<const void*, std::size_t>{&header, sizeof header},
                                  {&diag, sizeof diag},
                                  {&attribute, sizeof attribute},
                                  {&info, infoLength}})
            put(data, size);
    }
};

TEST(TcpTrafficParse, ReadsCountersSkipsShortInfoAndFailsOnErrorsAndCuts) {
    Replies replies;
    replies.socket(42, 1000, 2000);
    replies.socket(43, 5, 5, offsetof(tcp_info, tcpi_bytes_acked));  // an old kernel's shorter struct
    replies.socket(44, 0, 7);
    std::vector<SocketBytes> out;
    EXPECT_EQ(TcpTraffic::parseReplies(replies.bytes.data(), replies.bytes.size(), out),
              TcpTraffic::Batch::more);
    EXPECT_EQ(out, (std::vector<SocketBytes>{{42, 1000, 2000}, {44, 0, 7}}));
    EXPECT_EQ(TcpTraffic::parseReplies(replies.bytes.data(), replies.bytes.size() - 8, out),
              TcpTraffic::Batch::failed);

    replies.message(NLMSG_DONE, 0);
    EXPECT_EQ(TcpTraffic::parseReplies(replies.bytes.data(), replies.bytes.size(), out),
              TcpTraffic::Batch::done);
    Replies error;
    error.message(NLMSG_ERROR, nlmsgerr{});
    EXPECT_EQ(TcpTraffic::parseReplies(error.bytes.data(), error.bytes.size(), out),
              TcpTraffic::Batch::failed);
}

constexpr std::size_t sentBytes = 4 << 20;
// Every wait of the test and its children ends after this, however little of the machine they get.
constexpr int patienceSeconds = 30;

// A byte or an end on `fd`, or the patience: every wait of the children is bounded.
void awaitByte(int fd) {
    pollfd poller{fd, POLLIN, 0};
    char byte;
    if (poll(&poller, 1, patienceSeconds * 1000) > 0) (void)!::read(fd, &byte, 1);
}

// A child that runs `body` with socket calls bounded by the patience and exits when it returns.
template <typename Body>
pid_t child(int hold, Body body) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    close(hold);  // so that the test closing its end releases the child
    body([](int fd) {
        timeval limit{patienceSeconds, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        return fd;
    });
    _exit(0);
}

TEST(TcpTrafficLive, SampleSeesBothEndsOfALoopbackTransfer) {
    int go[2], received[2], hold[2];
    ASSERT_EQ(pipe(go) | pipe(received) | pipe(hold), 0);
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, generic, length) | listen(listener, 1) | getsockname(listener, generic, &length),
              0);
    static char buffer[65536];  // no allocation in the children: a fork copies other threads' locks
    pid_t server = child(hold[1], [&](auto bounded) {
        pollfd poller{listener, POLLIN, 0};
        int connection =
            bounded(poll(&poller, 1, patienceSeconds * 1000) > 0 ? accept(listener, nullptr, nullptr) : -1);
        for (std::size_t total = 0; total < sentBytes;) {
            ssize_t n = recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            total += static_cast<std::size_t>(n);
        }
        (void)!write(received[1], "r", 1);
        awaitByte(hold[0]);
    });
    close(listener);
    pid_t client = child(hold[1], [&](auto bounded) {
        int connection = bounded(socket(AF_INET, SOCK_STREAM, 0));
        if (connect(connection, generic, length) == 0) {
            awaitByte(go[0]);
            for (std::size_t sent = 0; sent < sentBytes;) {
                ssize_t n = send(connection, buffer, std::min(sizeof buffer, sentBytes - sent), MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<std::size_t>(n);
            }
        }
        awaitByte(hold[0]);
    });
    auto rows = NetworkUsage::sample([&] {
        (void)!write(go[1], "g", 1);
        awaitByte(received[0]);
        // The receiver's last acknowledgement may be delayed by a few tens of milliseconds.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    for (int fd : {go[0], go[1], received[0], received[1], hold[0], hold[1]}) close(fd);
    for (pid_t pid : {server, client})
        if (pid > 0) waitpid(pid, nullptr, 0);

    auto rowOf = [&](pid_t pid) {
        auto found = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.pid == pid; });
        return found == rows.end() ? ProcessTraffic{} : *found;
    };
    EXPECT_NEAR(static_cast<double>(rowOf(server).bytesIn), sentBytes, sentBytes * 0.1);
    EXPECT_NEAR(static_cast<double>(rowOf(client).bytesOut), sentBytes, sentBytes * 0.1);
    EXPECT_FALSE(rowOf(client).name.empty());
}

}  // namespace
}  // namespace tarvik
