#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QRect>

#include "app/AppTesting.hpp"
#include "app/PanelWindow.hpp"
#include "support/HeadlessSway.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

// The panel as a window of its own, as on Wayland, where the test below checks its title and that
// it floats at its own size. The test's display has no window manager to move the focus, so the
// application is told which window is active, as the platform would.
TEST(PanelWindowKind, IsAFramedWindowOfFixedSizeClosedByEscapeAndByLosingTheFocus) {
    test::FakeWorld desk;
    ui::ServerStore store(test::liveMachine(desk));
    app::PanelWindow panel(store, app::PanelWindow::Kind::window);
    const auto open = [&] {
        panel.showPlacedByDesktop();
        QApplication::setActiveWindow(&panel);
        return panel.isVisible() && panel.isActiveWindow();
    };
    ASSERT_TRUE(open());
    EXPECT_FALSE(panel.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(panel.minimumSize(), panel.maximumSize());
    EXPECT_EQ(panel.size(), panel.minimumSize());
    EXPECT_TRUE(panel.mask().isEmpty()) << "the compositor frames it; no corners cut off";

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&panel, &escape);
    EXPECT_FALSE(panel.isVisible()) << "Escape did not close it";

    ASSERT_TRUE(open());
    QWidget other;
    other.resize(200, 100);
    other.show();
    QApplication::setActiveWindow(&other);
    EXPECT_TRUE(test::pumpUntil([&] { return !panel.isVisible(); }, 5s))
        << "another window took the focus and the panel stayed";
}

// A window of sway's tree: the client's drawing, the place sway gives it with its frame, and
// whether it floats.
struct Window {
    QString title;
    QRect geometry, frame;
    bool floating = false;
};

QRect rectOf(const QJsonValue& rect) {
    return QRect(rect["x"].toInt(), rect["y"].toInt(), rect["width"].toInt(), rect["height"].toInt());
}

void collect(const QJsonObject& node, bool floating, pid_t pid, std::vector<Window>& windows) {
    if (node["pid"].toInt() == pid && node["visible"].toBool()) {
        // The content's place is given within the frame, its size as the client drew it.
        const QRect frame = rectOf(node["rect"]), content = rectOf(node["window_rect"]);
        windows.push_back({node["name"].toString(),
                           QRect(frame.topLeft() + content.topLeft(), rectOf(node["geometry"]).size()), frame,
                           floating || node["type"].toString() == "floating_con"});
    }
    for (const auto& child : node["nodes"].toArray()) collect(child.toObject(), floating, pid, windows);
    for (const auto& child : node["floating_nodes"].toArray()) collect(child.toObject(), true, pid, windows);
}

TEST(Wayland, OnSwayTheItemRegistersAndAnActivationOpensThePanelAsAFloatingWindowOfItsSize) {
    std::string why;
    auto sway = test::HeadlessSway::start(why);
    if (!sway) GTEST_SKIP() << why;
    if (!test::AppOnBus::possible()) GTEST_SKIP() << "needs dbus-daemon";
    test::AppOnBus session;
    ASSERT_TRUE(session.watch());
    session.launch({"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=" + sway->waylandDisplay()});
    ASSERT_FALSE(session.item().isEmpty()) << "the item never registered";

    session.activate(1270, 790);
    std::optional<Window> panel;
    ASSERT_TRUE(test::pumpUntil(
        [&] {
            std::vector<Window> windows;
            const auto tree = QJsonDocument::fromJson(QByteArray::fromStdString(sway->tree())).object();
            collect(tree, false, session.app->pid(), windows);
            for (const auto& window : windows)
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
