#include "cli/NetCommand.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "core/support/Spawn.hpp"
#include "support/TestProcess.hpp"

namespace tarvik::cli {
namespace {

TEST(NetCommand, RendersRatesAndShortConnectionsOrSaysWhatWentUncounted) {
    std::vector<ProcessTraffic> rows{{812, "node", 1536, 0}, {9, "", 0, 3 << 20}};
    EXPECT_EQ(renderNet({rows, {}, true}, Terminal{}),
              "PID      IN     OUT  PROCESS\n"
              "812  2 KB/s  0 KB/s  node\n"
              "  9  0 KB/s  3 MB/s  ?\n");
    EXPECT_EQ(renderNet({{}, {}, true}, Terminal{}), "No process moved data over TCP during the second.\n");
    EXPECT_EQ(toJson(TrafficSample{rows, {}, true})["processes"][0].dump(),
              R"({"pid":812,"name":"node","bytesIn":1536,"bytesOut":0,"total":1536})");

    // Short connections, counted or not.
    rows.pop_back();
    TrafficSample counted{rows, {921, 4700 << 10, 4700 << 10}, true};
    EXPECT_EQ(renderNet(counted, Terminal{}),
              "PID        IN       OUT  PROCESS\n"
              "812    2 KB/s    0 KB/s  node\n"
              "  -  4.6 MB/s  4.6 MB/s  Short connections (921, process unknown)\n");
    EXPECT_EQ(toJson(counted)["shortConnections"].dump(),
              R"({"count":921,"bytesIn":4812800,"bytesOut":4812800})");
    EXPECT_EQ(toJson(counted)["shortConnectionsCounted"], true);

    // Without the kernel's notices of closed sockets.
    TrafficSample uncounted{rows, {}, false};
    const std::string note =
        "Connections that opened and closed within the second are not counted: this system does not "
        "report closed connections.\n";
    EXPECT_EQ(renderNet(uncounted, Terminal{}),
              "PID      IN     OUT  PROCESS\n812  2 KB/s  0 KB/s  node\n" + note);
    EXPECT_EQ(renderNet({{}, {}, false}, Terminal{}),
              "No process moved data over TCP during the second.\n" + note);
    EXPECT_EQ(toJson(uncounted)["shortConnectionsCounted"], false);
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
    auto record = nlohmann::json::parse(result.output);
    for (const auto& row : record["processes"]) {
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
