#include "core/machine/NetworkUsage.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(NetworkUsageDifference, GrowthPerSocketSummedPerOwner) {
    std::vector<SocketBytes> before{{1, 100, 100}, {2, 0, 0}, {3, 50, 50}, {9, 7, 7}};
    // 1 and 2 grow for pid 10; 4 is new (from 0) for pid 20; 3 vanished; 5 has no owner;
    // 9 shrank, so it is a new socket on a reused inode; 6 is silent.
    std::vector<SocketBytes> after{{1, 150, 400},   {2, 10, 0}, {4, 1000, 1},
                                   {5, 9999, 9999}, {9, 3, 0},  {6, 0, 0}};
    std::unordered_map<std::uint64_t, std::int32_t> owners{{1, 10}, {2, 10}, {3, 10},
                                                           {4, 20}, {9, 30}, {6, 40}};
    auto rows = NetworkUsage::difference(before, after, owners,
                                         [](std::int32_t pid) { return "p" + std::to_string(pid); });
    EXPECT_EQ(rows,
              (std::vector<ProcessTraffic>{{20, "p20", 1000, 1}, {10, "p10", 60, 300}, {30, "p30", 3, 0}}));
}

}  // namespace
}  // namespace tarvik
