#include "core/platform/linux/SocketTable.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "core/platform/linux/ProcFs.hpp"
#include "support/Fixtures.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

TEST(SocketTableFiles, KeepsListeningRowsAndSkipsGarbledOnes) {
    auto v4 = SocketTable::parseProcNet(test::fixture("proc/net_tcp_listen_established_garbled"));
    EXPECT_EQ(v4, (std::vector<ListeningSocket>{{19112, 3000, "127.0.0.1", 1000}, {1346, 2024, "*", 0}}));

    auto v6 = SocketTable::parseProcNet(
        test::fixture("proc/net_tcp6_wildcard_loopback_mapped_and_mapped_wildcard"));
    EXPECT_EQ(v6, (std::vector<ListeningSocket>{{19113, 8080, "*", 0},
                                                {19114, 5432, "::1", 999},
                                                {19117, 3000, "127.0.0.1", 0},
                                                {19118, 9000, "*", 1000}}));
    // The fixtures hold the wildcards, loopbacks and mapped addresses; an address that only looks
    // mapped stays IPv6.
    const std::uint8_t notMapped[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0};
    EXPECT_EQ(SocketTable::addressText(notMapped, true), "::ff:0:0");
    test::TempDir dir;
    dir.write("net/tcp", test::fixture("proc/net_tcp_listen_established_garbled"));
    dir.write("net/tcp6", test::fixture("proc/net_tcp6_wildcard_loopback_mapped_and_mapped_wildcard"));
    EXPECT_EQ(SocketTable::read(ProcRoot(dir.path().string())).size(), 6u) << "read from a root's net files";
}

}  // namespace
}  // namespace tarvik
