#include "core/machine/NetworkUsage.hpp"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/Listener.hpp"

namespace tarvik {
namespace {

TEST(NetworkUsageDifference, GrowthPerSocketSummedPerOwner) {
    std::vector<SocketBytes> before{{1, 100, 100, 0}, {2, 0, 0, 0}, {3, 50, 50, 0}, {9, 7, 7, 0}};
    // 1 and 2 grow for pid 10; 4 is new (from 0) for pid 20; 3 vanished; 5 has no owner;
    // 9 shrank, so it is a new socket on a reused inode; 6 is silent.
    std::vector<SocketBytes> after{{1, 150, 400, 0},   {2, 10, 0, 0}, {4, 1000, 1, 0},
                                   {5, 9999, 9999, 0}, {9, 3, 0, 0},  {6, 0, 0, 0}};
    std::unordered_map<std::uint64_t, std::int32_t> owners{{1, 10}, {2, 10}, {3, 10},
                                                           {4, 20}, {9, 30}, {6, 40}};
    auto rows = NetworkUsage::difference(before, after, owners,
                                         [](std::int32_t pid) { return "p" + std::to_string(pid); });
    EXPECT_EQ(rows,
              (std::vector<ProcessTraffic>{{20, "p20", 1000, 1}, {10, "p10", 60, 300}, {30, "p30", 3, 0}}));
}

TEST(NetworkUsageDifference, ClosedSocketsGrowTheirOwnerOrCountAsShortConnections) {
    // Cookie 11 (inode 1, pid 10) closed after `before`; 12 (inode 2) was still open at `after`
    // and is counted there; 13 and 14 opened and closed in between.
    std::vector<SocketBytes> before{{1, 100, 100, 11}, {2, 0, 0, 12}};
    std::vector<SocketBytes> after{{2, 10, 20, 12}};
    std::vector<SocketBytes> closed{{0, 600, 100, 11}, {0, 99, 99, 12}, {0, 4096, 0, 13}, {0, 0, 4096, 14}};
    std::unordered_map<std::uint64_t, std::int32_t> owners{{1, 10}, {2, 20}};
    auto sample = NetworkUsage::difference(before, after, closed, owners,
                                           [](std::int32_t pid) { return "p" + std::to_string(pid); });
    EXPECT_EQ(sample.rows, (std::vector<ProcessTraffic>{{10, "p10", 500, 0}, {20, "p20", 10, 20}}));
    EXPECT_EQ(sample.shortConnections, (ShortConnections{2, 4096, 4096}));
    EXPECT_TRUE(sample.closedCounted);
}

// Short connections over loopback, all opened and closed while the sample watches, are counted
// with their bytes. The kernel's notices of closed sockets need no privilege.
TEST(NetworkUsageWatch, CountsLoopbackConnectionsShorterThanTheSample) {
    constexpr int connections = 50;
    constexpr std::size_t payload = 4096;
    test::Listener server(test::Listener::Mode::answer, "ok");
    int made = 0;
    auto sample = NetworkUsage::watch([&] {
        const std::string data(payload, 'x');
        for (int i = 0; i < connections; ++i) {
            int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd < 0) continue;
            timeval limit{2, 0};
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<std::uint16_t>(server.port()));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                send(fd, data.data(), data.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(data.size())) {
                char reply[16];
                while (recv(fd, reply, sizeof reply, 0) > 0) {
                }
                ++made;
            }
            close(fd);
        }
    });
    if (!sample.closedCounted) GTEST_SKIP() << "this kernel does not report closed sockets";
    ASSERT_EQ(made, connections);
    // Both ends of each connection closed within the sample: the client's bytes went out, the
    // server's came in. Other traffic of the machine can only add to them.
    EXPECT_GE(sample.shortConnections.count, 2u * connections);
    EXPECT_GE(sample.shortConnections.bytesOut, connections * payload);
    EXPECT_GE(sample.shortConnections.bytesIn, connections * payload);
}

}  // namespace
}  // namespace tarvik
