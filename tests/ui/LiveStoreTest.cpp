#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <csignal>

#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"
#include "ui/Fakes.hpp"
#include "ui/ServerStore.hpp"
#include "ui/linux/MachineServices.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

// Runs the event loop until `done` holds or 30 s pass.
bool pumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QEventLoop wait;
        QTimer::singleShot(50, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return true;
}

TEST(LiveStore, ListsProbesAndRemembersAServerItStartedAndStopped) {
    test::FakeWorld desk;
    auto services = desk.services();
    services.clock = std::make_unique<ui::SystemClock>();
    services.scheduler = std::make_unique<ui::TimerScheduler>();
    services.background = std::make_unique<ui::PoolBackground>();
    services.sampling = std::make_unique<ui::LiveSampling>();
    services.prober = std::make_unique<ui::LiveProber>();
    services.control = std::make_unique<ui::LiveControl>();
    desk.notifier->isAvailable = false;
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
    ASSERT_TRUE(pumpUntil(listed));
    const std::string id = std::to_string(server.pid()) + ":" + std::to_string(port);
    ASSERT_TRUE(pumpUntil([&] { return store.probeOutcomes().contains(id); }));
    EXPECT_FALSE(HTTPProbe::isHealthy(store.probeOutcomes().at(id)));  // it speaks no HTTP

    ASSERT_EQ(::kill(server.pid(), SIGKILL), 0);
    ASSERT_TRUE(pumpUntil([&] {
        const auto& stops = store.recentStops().entries;
        return !stops.empty() && stops.front().id() == id;
    }));
    EXPECT_FALSE(listed());
}

}  // namespace
}  // namespace tarvik
