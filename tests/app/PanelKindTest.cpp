#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "app/PanelWindow.hpp"
#include "ui/LiveMachine.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

// The panel as a window of its own, as on Wayland, where the test under sway checks its title and
// that it floats at its own size. The test's display has no window manager to move the focus, so
// the application is told which window is active, as the platform would.
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

}  // namespace
}  // namespace tarvik
