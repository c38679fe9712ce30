#include <gtest/gtest.h>

#include <unistd.h>
#include <QDBusMessage>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRect>
#include <optional>

#include "app/StatusNotifierHost.hpp"
#include "support/HeadlessSway.hpp"
#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"
#include "ui/FakeNotificationServer.hpp"
#include "ui/LiveMachine.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

// A window of sway's tree: the client's drawing, the place sway gives it with its frame, and
// whether it floats.
struct Window {
    QString title;
    QRect geometry, frame;
    bool floating = false;
};

QRect rectOf(const QJsonObject& rect) {
    return QRect(rect["x"].toInt(), rect["y"].toInt(), rect["width"].toInt(), rect["height"].toInt());
}

void collect(const QJsonObject& node, bool floating, pid_t pid, std::vector<Window>& windows) {
    if (node["pid"].toInt() == pid && node["visible"].toBool()) {
        const QRect frame = rectOf(node["rect"].toObject());
        // The content's place is given within the frame, its size as the client drew it.
        const QRect content = rectOf(node["window_rect"].toObject());
        const QRect drawn = rectOf(node["geometry"].toObject());
        windows.push_back({node["name"].toString(), QRect(frame.topLeft() + content.topLeft(), drawn.size()),
                           frame, floating || node["type"].toString() == "floating_con"});
    }
    for (const auto& child : node["nodes"].toArray()) collect(child.toObject(), floating, pid, windows);
    for (const auto& child : node["floating_nodes"].toArray()) collect(child.toObject(), true, pid, windows);
}

// The visible windows of process `pid` in sway's tree.
std::vector<Window> windowsOf(const test::HeadlessSway& sway, pid_t pid) {
    std::vector<Window> windows;
    collect(QJsonDocument::fromJson(QByteArray::fromStdString(sway.tree())).object(), false, pid, windows);
    return windows;
}

TEST(Wayland, OnSwayTheItemRegistersAndAnActivationOpensThePanelAsAFloatingWindowOfItsSize) {
    std::string why;
    auto sway = test::HeadlessSway::start(why);
    if (!sway) GTEST_SKIP() << why;
    if (access(test::PrivateBus::daemon, X_OK) != 0) GTEST_SKIP() << "needs dbus-daemon";
    test::PrivateBus bus;
    auto connection = bus.connect();
    ASSERT_TRUE(connection.isConnected());
    test::StatusNotifierHost host(connection);
    ASSERT_TRUE(host.registered());

    test::TempDir home, runtime;
    test::TestProcess app({"/usr/bin/env", "-i", "PATH=/usr/bin:/bin", "HOME=" + home.path().string(),
                           "XDG_RUNTIME_DIR=" + runtime.path().string(), "QT_QPA_PLATFORM=wayland",
                           "WAYLAND_DISPLAY=" + sway->waylandDisplay(),
                           "DBUS_SESSION_BUS_ADDRESS=" + bus.address().toStdString(), TARVIK_APP_BINARY});
    ASSERT_TRUE(test::pumpUntil([&] { return !host.items().isEmpty(); }, 30s)) << "the item never registered";

    auto activate = QDBusMessage::createMethodCall(host.items().front(), "/StatusNotifierItem",
                                                   "org.kde.StatusNotifierItem", "Activate");
    activate << 1270 << 790;
    connection.call(activate, QDBus::Block, 5000);
    std::optional<Window> panel;
    ASSERT_TRUE(test::pumpUntil(
        [&] {
            for (const auto& window : windowsOf(*sway, app.pid()))
                if (window.geometry.width() < 640 && window.geometry.height() > 300) panel = window;
            return panel.has_value();
        },
        20s))
        << "the activation opened no window the size of a panel";
    // Tiled, it would have been stretched over the whole 1280 x 800 output.
    EXPECT_TRUE(panel->floating);
    EXPECT_LT(panel->frame.width(), 640);
    EXPECT_LT(panel->frame.height(), 800);
    EXPECT_EQ(panel->title, "Tarvik");
    EXPECT_LT(panel->geometry.height(), 800);
    EXPECT_GE(panel->geometry.width(), 300);
    // For people to look at: the output with the panel open, once the panel has drawn itself.
    const QString png = TARVIK_RENDERS "/wayland-panel.png";
    if (access("/usr/bin/grim", X_OK) != 0 || !QDir().mkpath(TARVIK_RENDERS)) return;
    EXPECT_TRUE(test::pumpUntil(
        [&] {
            QImage screen;
            if (!sway->screenshot(png.toStdString()) || !screen.load(png)) return false;
            return screen.pixel(panel->geometry.center()) != screen.pixel(2, 2);
        },
        10s))
        << "the panel's window stayed empty";
}

}  // namespace
}  // namespace tarvik
