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
    EXPECT_EQ(toJson(rows)[0].dump(),
              R"({"pid":812,"name":"node","bytesIn":1536,"bytesOut":0,"total":1536})");
}

}  // namespace
}  // namespace tarvik::cli

#include <nlohmann/json.hpp>
#include <thread>

#include "core/support/Spawn.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

TEST(NetCommand, ReportsBothEndsOfALoopbackTransfer) {
    const std::string script = std::string(TARVIK_FIXTURES) + "/servers/traffic.py";
    test::TestProcess receiver({"/usr/bin/python3", script, "receive"});
    int port = receiver.numbers().at(0);
    Spawn::Result result;
    std::thread watch([&] { result = Spawn::run(TARVIK_BINARY, {"net", "--json"}); });
    // The bytes go out half a second into the command's one-second watch.
    test::TestProcess sender({"/usr/bin/python3", script, "send", std::to_string(port), "0.5"});
    watch.join();
    ASSERT_EQ(result.status, 0);
    std::uint64_t in = 0, out = 0;
    for (const auto& row : nlohmann::json::parse(result.output)) {
        if (row["pid"] == receiver.pid()) in = row["bytesIn"];
        if (row["pid"] == sender.pid()) out = row["bytesOut"];
    }
    const double sent = 4 * 1024 * 1024;
    EXPECT_NEAR(static_cast<double>(in), sent, sent / 10) << result.output;
    EXPECT_NEAR(static_cast<double>(out), sent, sent / 10) << result.output;
}

}  // namespace
}  // namespace tarvik
