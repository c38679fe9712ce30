#include "cli/NetCommand.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "core/support/Spawn.hpp"
#include "support/TestProcess.hpp"

namespace tarvik::cli {
namespace {

TEST(NetCommand, RendersRatesOrSaysNothingMoved) {
    std::vector<ProcessTraffic> rows{{812, "node", 1536, 0}, {9, "", 0, 3 << 20}};
    EXPECT_EQ(renderNet(rows, Terminal{}),
              "PID      IN     OUT  PROCESS\n"
              "812  2 KB/s  0 KB/s  node\n"
              "  9  0 KB/s  3 MB/s  ?\n");
    EXPECT_EQ(renderNet({}, Terminal{}), "No process moved data over TCP during the second.\n");
    EXPECT_EQ(toJson(rows)[0].dump(),
              R"({"pid":812,"name":"node","bytesIn":1536,"bytesOut":0,"total":1536})");
}

// The stream outlasts the command's second however late it starts, so both ends show its bytes.
TEST(NetCommand, ReportsBothEndsOfALoopbackStream) {
    const std::string script = std::string(TARVIK_FIXTURES) + "/servers/traffic.py";
    test::TestProcess receiver({"/usr/bin/python3", script, "receive"});
    int port = receiver.numbers().at(0);
    test::TestProcess sender({"/usr/bin/python3", script, "send", std::to_string(port)});
    ASSERT_EQ(sender.firstLine(), "sending");
    auto result = Spawn::run(TARVIK_BINARY, {"net", "--json"});
    ASSERT_EQ(result.status, 0);
    std::uint64_t in = 0, out = 0;
    for (const auto& row : nlohmann::json::parse(result.output)) {
        if (row["pid"] == receiver.pid()) in = row["bytesIn"];
        if (row["pid"] == sender.pid()) out = row["bytesOut"];
    }
    EXPECT_GT(in, 0u) << result.output;
    EXPECT_GT(out, 0u) << result.output;
    // What one end sent the other received, but for the bytes in flight when the counters were read.
    const double larger = static_cast<double>(std::max(in, out));
    EXPECT_NEAR(static_cast<double>(in), static_cast<double>(out), std::max(larger / 4, 256.0 * 1024))
        << result.output;
}

}  // namespace
}  // namespace tarvik::cli
