#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <set>

#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"
#include "ui/FakeNotificationServer.hpp"
#include "ui/LiveMachine.hpp"
#include "ui/ServerStore.hpp"
#include "ui/linux/DbusNotifier.hpp"
#include "ui/store/StoreActions.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
using ui::DbusNotifier;
using ui::Notification;

struct Posted {
    bool finished = false;
    std::optional<std::string> error;
};

// Posts and waits for the answer.
Posted post(DbusNotifier& notifier, const Notification& notification) {
    Posted posted;
    notifier.post(notification, [&posted](std::optional<std::string> error) {
        posted = {true, std::move(error)};
    });
    test::pumpUntil([&] { return posted.finished; });
    return posted;
}

TEST(DbusNotifier, PostsPlainTextAndReportsClicksOnItsOwnNotificationsOnly) {
    if (access(test::PrivateBus::daemon, X_OK) != 0) GTEST_SKIP() << "no " << test::PrivateBus::daemon;
    test::PrivateBus bus;
    DbusNotifier notifier(bus.connect());
    std::vector<std::string> clicks;
    notifier.onClick([&](const std::string& identifier) { clicks.push_back(identifier); });

    EXPECT_FALSE(notifier.available());
    EXPECT_EQ(notifier.authorization(), ui::Authorization::denied);
    EXPECT_TRUE(post(notifier, {"Down", "gone", "a"}).error) << "posted with no server on the bus";

    test::FakeNotificationServer server(bus.connect());
    ASSERT_TRUE(server.registered());
    EXPECT_TRUE(notifier.available()) << "a server that came later";
    EXPECT_EQ(post(notifier, {"Vite on 5173", "<b>x</b> & y", "vite", true}).error, std::nullopt);
    EXPECT_EQ(post(notifier, {"Quiet", "", "quiet", false}).error, std::nullopt);

    ASSERT_EQ(server.calls().size(), 2u);
    const auto& loud = server.calls()[0];
    EXPECT_EQ(loud.appName, "Tarvik");
    EXPECT_EQ(loud.summary, "Vite on 5173");
    EXPECT_EQ(loud.body, "&lt;b&gt;x&lt;/b&gt; &amp; y");
    EXPECT_EQ(loud.actions, (QStringList{"default", "Open"}));
    EXPECT_EQ(loud.hints, (QVariantMap{{"desktop-entry", "tarvik"}, {"sound-name", "message-new-instant"}}));
    EXPECT_EQ(server.calls()[1].hints, (QVariantMap{{"desktop-entry", "tarvik"}, {"suppress-sound", true}}));

    // Signals arrive in order, so the last click settles whether the earlier ones were ignored.
    server.invokeAction(99, "default");
    server.invokeAction(loud.id, "other");
    server.invokeAction(server.calls()[1].id, "default");
    EXPECT_TRUE(test::pumpUntil([&] { return !clicks.empty(); }));
    EXPECT_EQ(clicks, std::vector<std::string>{"quiet"});
}

// The whole way from a server the test starts to the notification server on a session bus of the
// test's own: the store lists and probes it, announces it, and remembers it once it is killed.
TEST(LiveStore, ListsProbesAnnouncesAndRemembersAServerItStartedAndStopped) {
    if (access(test::PrivateBus::daemon, X_OK) != 0) GTEST_SKIP() << "no dbus-daemon to run a session bus";
    test::PrivateBus bus;
    test::FakeNotificationServer daemon(bus.connect());
    ASSERT_TRUE(daemon.registered());
    test::FakeWorld desk;
    auto services = test::liveMachine(desk);
    services.notifier = std::make_unique<DbusNotifier>(bus.connect());
    auto* sampling = services.sampling.get();
    ui::ServerStore store(std::move(services));
    store.startPolling();
    store.setPanelIsOpen(true);  // every 3 s
    ASSERT_TRUE(test::pumpUntil([&] { return store.hasScanned(); }));

    const uint postedBefore = daemon.calls().empty() ? 0 : daemon.calls().back().id;
    const auto listenersBefore = sampling->listenersFingerprint();
    ASSERT_TRUE(listenersBefore);
    test::TempDir folder;
    test::TestProcess server(test::listener({"--ttl", "120"}), folder.path().string());
    auto ports = server.numbers();
    ASSERT_FALSE(ports.empty());
    const std::string port = std::to_string(ports.front());
    const std::string id = std::to_string(server.pid()) + ":" + port;
    auto listed = [&]() -> std::optional<Server> {
        for (const auto& found : store.servers())
            if (found.id() == id) return found;
        return std::nullopt;
    };
    ASSERT_TRUE(test::pumpUntil([&] { return listed().has_value(); }));
    EXPECT_NE(sampling->listenersFingerprint(), listenersBefore) << "a new listener went unseen";
    ASSERT_TRUE(test::pumpUntil([&] { return store.probeOutcomes().contains(id); }));
    EXPECT_FALSE(HTTPProbe::isHealthy(store.probeOutcomes().at(id)));  // it speaks no HTTP

    // Where other tests start servers in the same minute, this one may be told in a roll-up.
    auto announced = [&] {
        return std::ranges::any_of(daemon.calls(), [&](const test::NotifyCall& call) {
            return call.body.toStdString() == "Listening on localhost:" + port ||
                   (call.summary.endsWith(" dev servers started") && call.id > postedBefore);
        });
    };
    ASSERT_TRUE(test::pumpUntil(announced, 75s));

    ASSERT_EQ(::kill(server.pid(), SIGKILL), 0);
    // Other tests' servers may stop too and come first, so any entry may be this one.
    ASSERT_TRUE(test::pumpUntil([&] {
        const auto& stops = store.recentStops().entries;
        return std::any_of(stops.begin(), stops.end(), [&](const auto& stop) { return stop.id() == id; });
    }));
    EXPECT_FALSE(listed());
}

// Real signals, to the processes the test started and to no other.
class ChildrenOnlyControl : public test::FakeControl {
public:
    explicit ChildrenOnlyControl(std::set<pid_t> children) : m_children(std::move(children)) {}
    bool signal(std::int32_t pid, int signal) override {
        return m_children.contains(pid) && ::kill(pid, signal) == 0;
    }

private:
    const std::set<pid_t> m_children;
};

// Two unrelated scripts under one interpreter are two rows, and quitting one ends it alone.
TEST(LiveStore, QuitsOneScriptOfAnInterpreterAndLeavesAnotherRunning) {
    if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
    test::TempDir folder;
    const std::string tag = std::to_string(getpid());
    const std::string quitName = "quit-me-" + tag + ".py", keepName = "keep-me-" + tag + ".py";
    for (const auto& name : {quitName, keepName})
        folder.write(name, "import time\nprint('ready', flush=True)\ntime.sleep(120)\n");
    test::TestProcess quitting({"/usr/bin/python3", folder / quitName});
    test::TestProcess keeping({"/usr/bin/python3", "-u", folder / keepName});
    ASSERT_EQ(quitting.firstLine(), "ready");
    ASSERT_EQ(keeping.firstLine(), "ready");

    test::FakeWorld desk;
    auto services = test::liveMachine(desk);
    services.control = std::make_unique<ChildrenOnlyControl>(std::set<pid_t>{quitting.pid(), keeping.pid()});
    ui::ServerStore store(std::move(services));
    bool sampled = false;
    store.refresh([&] { sampled = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return sampled; }));
    auto rowOf = [&](pid_t pid) -> std::optional<AppUsage> {
        for (const auto& app : store.vitals().apps)
            if (std::ranges::find(app.pids, pid) != app.pids.end()) return app;
        return std::nullopt;
    };
    auto row = rowOf(quitting.pid());
    ASSERT_TRUE(row);
    if (row->bundlePath) GTEST_SKIP() << "the tests run inside " << row->name << ", which owns its processes";
    EXPECT_EQ(row->name, quitName + " (" + row->interpreter + ")");
    ASSERT_EQ(row->pids, std::vector<std::int32_t>{quitting.pid()});
    ASSERT_EQ(rowOf(keeping.pid())->script, keepName);

    store.actions().quit(*row);
    EXPECT_TRUE(test::pumpUntil([&] { return quitting.exitStatus().has_value(); }));
    EXPECT_FALSE(keeping.exitStatus());
}

}  // namespace
}  // namespace tarvik
