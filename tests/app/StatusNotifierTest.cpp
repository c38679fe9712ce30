#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDir>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <map>
#include <sstream>

#include "app/AppTesting.hpp"
#include "core/support/Spawn.hpp"
#include "support/TrayDisplay.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

constexpr const char* xdotool = "/usr/bin/xdotool";

// The visible windows of process `pid` on the test's display.
std::vector<QRect> windowsOf(pid_t pid) {
    std::vector<QRect> windows;
    auto found = Spawn::run(xdotool, {"search", "--onlyvisible", "--pid", std::to_string(pid)}, 10s);
    std::istringstream ids(found.output);
    for (std::string id; ids >> id;) {
        // Lines of "NAME=value": WINDOW, X, Y, WIDTH, HEIGHT and SCREEN.
        std::istringstream lines(Spawn::run(xdotool, {"getwindowgeometry", "--shell", id}, 10s).output);
        std::map<std::string, int> values;
        for (std::string line; std::getline(lines, line);)
            if (auto equals = line.find('='); equals != std::string::npos)
                values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
        windows.emplace_back(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
    }
    return windows;
}

// Expects the item to give icon pixmaps, each square and drawn over at least half its height.
void expectSquareIcons(QDBusConnection& bus, const QString& item) {
    auto get =
        QDBusMessage::createMethodCall(item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get");
    get << QString("org.kde.StatusNotifierItem") << QString("IconPixmap");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 5000);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    const auto argument = reply.arguments().front().value<QDBusVariant>().variant().value<QDBusArgument>();
    argument.beginArray();
    EXPECT_FALSE(argument.atEnd()) << "no pixmaps";
    while (!argument.atEnd()) {
        int width = 0, height = 0, top = -1, bottom = -1;
        QByteArray argb;  // four bytes a pixel, alpha first
        argument.beginStructure();
        argument >> width >> height >> argb;
        argument.endStructure();
        for (int i = 0; i < std::min(static_cast<int>(argb.size() / 4), width * height); ++i)
            if (static_cast<unsigned char>(argb[4 * i]) >= 64) {
                bottom = i / width;
                if (top < 0) top = bottom;
            }
        SCOPED_TRACE(width);
        EXPECT_EQ(width, height);
        EXPECT_GE(top < 0 ? 0 : bottom - top + 1, height / 2) << "rows drawn";
    }
    argument.endArray();
}

TEST(StatusNotifier, AnItemOnALateHostShowsASquareIconAndAnActivationOpensThePanelAtThePointer) {
    auto* display = test::TrayDisplay::current;
    if (!display || access(xdotool, X_OK) != 0 || !test::AppOnBus::possible())
        GTEST_SKIP() << "needs Xvfb, xdotool and dbus-daemon";
    display->stopTray();
    test::AppOnBus session;
    session.launch({"DISPLAY=" + display->display(), "QT_QPA_PLATFORM=xcb"});
    test::pumpUntil([] { return false; }, 5s);  // the desktop still starting
    ASSERT_TRUE(session.watch());
    const QString item = session.item();
    ASSERT_FALSE(item.isEmpty()) << "the item never registered";

    expectSquareIcons(session.connection, item);

    // A click on a tray at the bottom right: the pointer is there, the host says so in Activate.
    const QPoint click(1270, 790);
    ASSERT_TRUE(display->click(click.x(), click.y()));
    session.activate(click.x(), click.y());
    std::optional<QRect> panel;
    ASSERT_TRUE(test::pumpUntil([&] {
        for (const auto& window : windowsOf(session.app->pid()))
            if (window.width() < 500 && window.height() > 400) panel = window;
        return panel.has_value();
    })) << "the activation opened no panel";
    const QPoint corner = panel->bottomRight() + QPoint(1, 1);
    EXPECT_LE((corner - click).manhattanLength(), 2) << corner.x() << "," << corner.y();
    // For people to look at: the screen with the panel open.
    if (QDir().mkpath(TARVIK_RENDERS) && QGuiApplication::primaryScreen())
        QGuiApplication::primaryScreen()->grabWindow(0).save(TARVIK_RENDERS "/status-notifier-panel.png");
}

}  // namespace
}  // namespace tarvik
