#include <gtest/gtest.h>

#include "core/platform/macos/SystemTable.hpp"

namespace tarvik {

TEST(SystemTable, parsePsSkipsLinesWithAnyUnreadableField) {
    auto rows = SystemTable::parsePs(
        "    1     0   1:02.50  2048\n2 1 0:00.00\n3  1  later  5\n4 1 0:01.00 -5\n6\t1 0:01.00 1 5\n"
        "5 1 0:01.00 18014398509481984\n7 1 0:03.00 1\n+7 -1 1-00:00:00 4 trailing fields\n");
    EXPECT_EQ(rows, (std::unordered_map<std::int32_t, SystemTable::Row>{{1, {0, 62.5, 2'097'152}},
                                                                        {7, {-1, 86'400, 4'096}}}));
}

TEST(SystemTable, parseTopReadsUnitSuffixedFootprints) {
    auto footprints = SystemTable::parseTop(
        "PID    MEM\n10     512K+\n11 1.5G-\n12 100B\n13 3M+-+\n14 0.5B\n"
        "15 12\n16 N/A\n17 K\n18 -1K\n19 2T\n20 1K\n20 2K\n");
    EXPECT_EQ(footprints,
              (std::unordered_map<std::int32_t, std::uint64_t>{
                  {10, 524'288}, {11, 1'610'612'736}, {12, 100}, {13, 3'145'728}, {14, 0}, {20, 2'048}}));
}

}  // namespace tarvik
