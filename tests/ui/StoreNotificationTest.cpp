#include <gtest/gtest.h>

#include <unistd.h>

#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"
#include "ui/FakeNotificationServer.hpp"
#include "ui/LiveMachine.hpp"
#include "ui/ServerStore.hpp"
#include "ui/linux/DbusNotifier.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

// The whole way from a server the test starts to the notification server on the session bus.
TEST(StoreNotifications, ADevServerThatStartsIsAnnouncedOnTheSessionBus) {
    if (access(test::PrivateBus::daemon, X_OK) != 0) GTEST_SKIP() << "no dbus-daemon to run a session bus";
    test::PrivateBus bus;
    test::FakeNotificationServer daemon(bus.connect());
    ASSERT_TRUE(daemon.registered());

    test::FakeWorld desk;
    auto services = test::liveMachine(desk);
    auto notifier = std::make_unique<ui::DbusNotifier>(bus.connect());
    auto* dbus = notifier.get();
    services.notifier = std::move(notifier);
    ui::ServerStore store(std::move(services));
    store.startPolling();
    store.setPanelIsOpen(true);  // every 3 s
    ASSERT_TRUE(test::pumpUntil([&] { return store.hasScanned(); }, 30s));

    test::TempDir folder;
    test::TestProcess server(test::listener({"--ttl", "120"}), folder.path().string());
    auto ports = server.numbers();
    ASSERT_FALSE(ports.empty());
    const std::string port = std::to_string(ports.front());
    auto announced = [&]() -> const test::NotifyCall* {
        for (const auto& call : daemon.calls())
            if (call.body.toStdString() == "Listening on localhost:" + port) return &call;
        return nullptr;
    };
    ASSERT_TRUE(test::pumpUntil([&] { return announced() != nullptr; }, 30s));
    const auto* call = announced();
    Server listed;
    for (const auto& found : store.servers())
        if (found.pid == server.pid()) listed = found;
    EXPECT_EQ(call->summary.toStdString(), listed.kind.name + " is up");

    std::vector<std::string> clicked;
    dbus->onClick([&](const std::string& identifier) { clicked.push_back(identifier); });
    daemon.invokeAction(call->id, "default");
    ASSERT_TRUE(test::pumpUntil([&] { return !clicked.empty(); }));
    EXPECT_EQ(clicked[0], "start-" + std::to_string(server.pid()) + ":" + port);
}

}  // namespace
}  // namespace tarvik
