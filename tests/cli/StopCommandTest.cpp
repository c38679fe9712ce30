#include <gtest/gtest.h>

#include <thread>

#include "core/support/Spawn.hpp"
#include "support/ProcStat.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

Spawn::Result stop(int port, bool force = false) {
    std::vector<std::string> arguments{"stop", std::to_string(port)};
    if (force) arguments.push_back("--force");
    return Spawn::run(TARVIK_BINARY, arguments);
}

TEST(StopCommand, StopsAServerAndSaysWhatIsFree) {
    test::TestProcess server(test::listener({}));
    int port = server.numbers().at(0);
    auto result = stop(port);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("stopped."), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("port " + std::to_string(port)), std::string::npos) << result.output;
    EXPECT_FALSE(test::isRunning(server.pid()));
}

TEST(StopCommand, AServerThatIgnoresTermIsReportedAndGoesWithForce) {
    test::TestProcess server(test::listener({"--ignore-term"}));
    int port = server.numbers().at(0);
    auto gentle = stop(port);
    EXPECT_EQ(gentle.status, 1);
    EXPECT_NE(gentle.output.find("still running"), std::string::npos) << gentle.output;
    EXPECT_NE(gentle.output.find("--force"), std::string::npos) << gentle.output;
    EXPECT_TRUE(test::isRunning(server.pid()));

    auto forced = stop(port, true);
    EXPECT_EQ(forced.status, 0) << forced.output;
    EXPECT_FALSE(test::isRunning(server.pid()));
}

TEST(StopCommand, APortWithoutAServerIsAnError) {
    int port = [] {
        test::TestProcess gone(test::listener({}));
        return gone.numbers().at(0);
    }();
    auto result = stop(port);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.output.empty());
}

}  // namespace
}  // namespace tarvik
