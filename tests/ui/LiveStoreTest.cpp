#include <gtest/gtest.h>

#include <algorithm>

#include <csignal>

#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"
#include "ui/LiveMachine.hpp"
#include "ui/ServerStore.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

TEST(LiveStore, ListsProbesAndRemembersAServerItStartedAndStopped) {
    test::FakeWorld desk;
    auto services = test::liveMachine(desk);
    ui::ServerStore store(std::move(services));

    test::TempDir folder;
    test::TestProcess server(test::listener({"--ttl", "120"}), folder.path().string());
    auto ports = server.numbers();
    ASSERT_FALSE(ports.empty());
    const int port = ports.front();
    auto listed = [&] {
        for (const auto& found : store.servers())
            if (found.pid == server.pid() && found.port == port) return true;
        return false;
    };

    store.startPolling();
    store.setPanelIsOpen(true);
    ASSERT_TRUE(test::pumpUntil(listed));
    const std::string id = std::to_string(server.pid()) + ":" + std::to_string(port);
    ASSERT_TRUE(test::pumpUntil([&] { return store.probeOutcomes().contains(id); }));
    EXPECT_FALSE(HTTPProbe::isHealthy(store.probeOutcomes().at(id)));  // it speaks no HTTP

    ASSERT_EQ(::kill(server.pid(), SIGKILL), 0);
    // Other tests' servers may stop too and come first, so any entry may be this one.
    ASSERT_TRUE(test::pumpUntil([&] {
        const auto& stops = store.recentStops().entries;
        return std::any_of(stops.begin(), stops.end(), [&](const auto& stop) { return stop.id() == id; });
    }));
    EXPECT_FALSE(listed());
}

}  // namespace
}  // namespace tarvik
