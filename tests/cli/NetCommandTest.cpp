#include "cli/NetCommand.hpp"

#include <gtest/gtest.h>

namespace tarvik::cli {
namespace {

TEST(NetCommand, RendersRatesOrSaysNothingMoved) {
    std::vector<ProcessTraffic> rows{{812, "node", 1536, 0}, {9, "", 0, 3 << 20}};
    EXPECT_EQ(renderNet(rows, Terminal{}),
              "PID      IN     OUT  PROCESS\n"
              "812  2 KB/s  0 KB/s  node\n"
              "  9  0 KB/s  3 MB/s  ?\n");
    EXPECT_EQ(renderNet({}, Terminal{}), "No process moved data over TCP during the second.\n");
    EXPECT_EQ(toJson(rows)[0].dump(), R"({"pid":812,"name":"node","bytesIn":1536,"bytesOut":0,"total":1536})");
}

}  // namespace
}  // namespace tarvik::cli
