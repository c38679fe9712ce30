#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "app/PanelWindow.hpp"
#include "ui/LiveMachine.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

// The panel as a window of its own, as on Wayland. The test's display has no window manager to
// move the focus, so the application is told which window is active, as the platform would.
TEST(PanelWindowKind, IsATitledWindowOfFixedSizeClosedByEscapeAndByLosingTheFocus) {
    test::FakeWorld desk;
    ui::ServerStore store(test::liveMachine(desk));
    app::PanelWindow panel(store, app::PanelWindow::Kind::window);
    EXPECT_FALSE(panel.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_NE(panel.windowType(), Qt::Popup);
    EXPECT_FALSE(panel.windowTitle().isEmpty());

    panel.showPlacedByDesktop();
    QApplication::setActiveWindow(&panel);
    ASSERT_TRUE(panel.isVisible() && panel.isActiveWindow());
    EXPECT_EQ(panel.minimumSize(), panel.maximumSize());
    EXPECT_EQ(panel.size(), panel.minimumSize());
    EXPECT_GE(panel.width(), 300);
    EXPECT_TRUE(panel.mask().isEmpty()) << "the compositor frames it; no corners cut off";

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&panel, &escape);
    EXPECT_FALSE(panel.isVisible()) << "Escape did not close it";

    panel.showPlacedByDesktop();
    QApplication::setActiveWindow(&panel);
    ASSERT_TRUE(panel.isVisible() && panel.isActiveWindow());
    QWidget other;
    other.resize(200, 100);
    other.show();
    QApplication::setActiveWindow(&other);
    EXPECT_TRUE(test::pumpUntil([&] { return !panel.isVisible(); }, 5s))
        << "another window took the focus and the panel stayed";
}

// Elsewhere the panel stays a popup that places itself beside the icon or the pointer.
TEST(PanelWindowKind, IsAFramelessPopupOffWayland) {
    test::FakeWorld desk;
    ui::ServerStore store(test::liveMachine(desk));
    app::PanelWindow panel(store, app::PanelWindow::Kind::popup);
    EXPECT_EQ(panel.windowType(), Qt::Popup);
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(app::PanelWindow::kindForPlatform() == app::PanelWindow::Kind::window,
              QGuiApplication::platformName() == "wayland");
}

}  // namespace
}  // namespace tarvik
