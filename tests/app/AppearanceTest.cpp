#include <gtest/gtest.h>

#include <QApplication>

#include "app/AppTesting.hpp"
#include "app/Appearance.hpp"
#include "app/PanelWindow.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
using Scheme = ui::ColorSchemeSetting::Scheme;

TEST(ColorSchemeSetting, ReadsThePortalsNumbers) {
    const std::pair<uint, Scheme> cases[] = {
        {0, Scheme::none}, {1, Scheme::dark}, {2, Scheme::light}, {3, Scheme::none}, {~0u, Scheme::none}};
    for (const auto& [value, scheme] : cases)
        EXPECT_EQ(ui::ColorSchemeSetting::fromPortal(value), scheme) << value;
}

TEST(Appearance, FollowsTheDesktopsColourSchemeAtTheStartAndWhenItChanges) {
    if (!test::AppOnBus::possible()) GTEST_SKIP() << "needs dbus-daemon";
    test::PrivateBus bus;
    auto connection = bus.connect();
    test::FakeSettingsPortal portal(1);
    ASSERT_TRUE(test::publish(connection, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                              portal));
    const bool platformDark = ui::Theme::isDark(QApplication::palette());
    test::FakeWorld desk;
    ui::ServerStore store(test::liveMachine(desk));
    app::PanelWindow panel(store, app::PanelWindow::Kind::popup);
    {
        // The app's own connection to the bus, as the session bus would be.
        app::Appearance appearance(bus.connect());
        EXPECT_TRUE(test::pumpUntil([&] { return appearance.setting().scheme() == Scheme::dark; }, 10s))
            << "the preference read at the start was not taken";
        EXPECT_TRUE(ui::Theme::isDark(QApplication::palette()));
        EXPECT_TRUE(ui::Theme::isDark(&panel));

        portal.setScheme(2);
        EXPECT_TRUE(test::pumpUntil([&] { return appearance.setting().scheme() == Scheme::light; }, 10s))
            << "the change was not followed";
        EXPECT_FALSE(ui::Theme::isDark(&panel));

        portal.setScheme(1);
        ASSERT_TRUE(test::pumpUntil([&] { return ui::Theme::isDark(&panel); }, 10s));
        // No preference: back to the platform's own palette.
        portal.setScheme(0);
        EXPECT_TRUE(test::pumpUntil([&] { return appearance.setting().scheme() == Scheme::none; }, 10s));
        EXPECT_EQ(ui::Theme::isDark(&panel), platformDark);
    }
    EXPECT_EQ(ui::Theme::isDark(QApplication::palette()), platformDark);
}

TEST(Appearance, WithoutAPortalThePlatformsPaletteStays) {
    if (!test::AppOnBus::possible()) GTEST_SKIP() << "needs dbus-daemon";
    test::PrivateBus bus;
    const QPalette before = QApplication::palette();
    app::Appearance appearance(bus.connect());
    ASSERT_TRUE(test::pumpUntil([&] { return appearance.setting().answered(); }, 10s));
    EXPECT_EQ(appearance.setting().scheme(), Scheme::none);
    EXPECT_EQ(QApplication::palette(), before);
}

}  // namespace
}  // namespace tarvik
