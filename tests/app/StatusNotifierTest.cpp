#include <gtest/gtest.h>

#include <unistd.h>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <optional>
#include <sstream>

#include "app/StatusNotifierHost.hpp"
#include "core/support/Spawn.hpp"
#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"
#include "support/TrayDisplay.hpp"
#include "ui/FakeNotificationServer.hpp"
#include "ui/LiveMachine.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

constexpr const char* xdotool = "/usr/bin/xdotool";

// The visible windows of process `pid` on the test's display, as X, Y, width and height.
std::vector<QRect> windowsOf(pid_t pid) {
    std::vector<QRect> windows;
    auto found = Spawn::run(xdotool, {"search", "--onlyvisible", "--pid", std::to_string(pid)}, 10s);
    std::istringstream ids(found.output);
    for (std::string id; ids >> id;) {
        auto shell = Spawn::run(xdotool, {"getwindowgeometry", "--shell", id}, 10s);
        std::map<std::string, int> values;
        std::istringstream lines(shell.output);
        for (std::string line; std::getline(lines, line);)
            if (auto equals = line.find('='); equals != std::string::npos)
                values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
        windows.emplace_back(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
    }
    return windows;
}

// The sizes of the item's icon pixmaps, each with the rows its drawing spans.
struct Pixmap {
    int width = 0, height = 0, drawnRows = 0;
};

std::vector<Pixmap> iconPixmaps(QDBusConnection& bus, const QString& item) {
    auto get =
        QDBusMessage::createMethodCall(item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get");
    get << QString("org.kde.StatusNotifierItem") << QString("IconPixmap");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 5000);
    std::vector<Pixmap> pixmaps;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return pixmaps;
    const auto argument = reply.arguments().front().value<QDBusVariant>().variant().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        Pixmap pixmap;
        QByteArray argb;  // four bytes a pixel, alpha first
        argument.beginStructure();
        argument >> pixmap.width >> pixmap.height >> argb;
        argument.endStructure();
        int top = -1, bottom = -1;
        for (int y = 0; y < pixmap.height; ++y)
            for (int x = 0; x < pixmap.width; ++x) {
                const auto at = 4 * (y * pixmap.width + x);
                if (at < argb.size() && static_cast<unsigned char>(argb[at]) >= 64) {
                    if (top < 0) top = y;
                    bottom = y;
                }
            }
        pixmap.drawnRows = top < 0 ? 0 : bottom - top + 1;
        pixmaps.push_back(pixmap);
    }
    argument.endArray();
    return pixmaps;
}

TEST(StatusNotifier, AnItemOnALateHostShowsASquareIconAndAnActivationOpensThePanelAtThePointer) {
    auto* display = test::TrayDisplay::current;
    if (!display || access(xdotool, X_OK) != 0 || access(test::PrivateBus::daemon, X_OK) != 0)
        GTEST_SKIP() << "needs Xvfb, xdotool and dbus-daemon";
    display->stopTray();
    test::PrivateBus bus;
    auto connection = bus.connect();
    ASSERT_TRUE(connection.isConnected());

    test::TempDir home, runtime;
    test::TestProcess app({"/usr/bin/env", "-i", "PATH=/usr/bin:/bin", "HOME=" + home.path().string(),
                           "XDG_RUNTIME_DIR=" + runtime.path().string(), "DISPLAY=" + display->display(),
                           "QT_QPA_PLATFORM=xcb", "DBUS_SESSION_BUS_ADDRESS=" + bus.address().toStdString(),
                           TARVIK_APP_BINARY});
    test::pumpUntil([] { return false; }, 5s);  // the desktop still starting
    test::StatusNotifierHost host(connection);
    ASSERT_TRUE(host.registered());
    ASSERT_TRUE(test::pumpUntil([&] { return !host.items().isEmpty(); })) << "the item never registered";
    const QString item = host.items().front();

    const auto pixmaps = iconPixmaps(connection, item);
    ASSERT_FALSE(pixmaps.empty());
    for (const auto& pixmap : pixmaps) {
        SCOPED_TRACE(pixmap.width);
        EXPECT_EQ(pixmap.width, pixmap.height);
        EXPECT_GE(pixmap.drawnRows, pixmap.height / 2);
    }

    // A click on a tray at the bottom right: the pointer is there, the host says so in Activate.
    const QPoint click(1270, 790);
    ASSERT_TRUE(display->click(click.x(), click.y()));
    auto activate =
        QDBusMessage::createMethodCall(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate");
    activate << click.x() << click.y();
    connection.call(activate, QDBus::Block, 5000);
    std::optional<QRect> panel;
    ASSERT_TRUE(test::pumpUntil([&] {
        for (const auto& window : windowsOf(app.pid()))
            if (window.width() < 500 && window.height() > 400) panel = window;
        return panel.has_value();
    })) << "the activation opened no panel";
    const QPoint corner = panel->bottomRight() + QPoint(1, 1);
    EXPECT_LE((corner - click).manhattanLength(), 2) << corner.x() << "," << corner.y();
    // For people to look at: the screen with the panel open.
    if (QDir().mkpath(TARVIK_RENDERS) && QGuiApplication::primaryScreen())
        QGuiApplication::primaryScreen()->grabWindow(0).save(TARVIK_RENDERS "/status-notifier-panel.png");
    display->startTray();
}

}  // namespace
}  // namespace tarvik
