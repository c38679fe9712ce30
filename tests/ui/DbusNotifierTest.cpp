#include "ui/linux/DbusNotifier.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include "ui/FakeNotificationServer.hpp"
#include "ui/LiveMachine.hpp"

namespace tarvik::ui {
namespace {

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
    EXPECT_EQ(notifier.authorization(), Authorization::denied);
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

}  // namespace
}  // namespace tarvik::ui
