#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>

#include "app/AppTesting.hpp"
#include "app/PanelWindow.hpp"
#include "support/TestProcess.hpp"
#include "support/TrayDisplay.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/views/PanelView.hpp"
#include "ui/views/ServerRow.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

TEST(PanelPlacement, HangsUnderTheIconAndStaysOnItsScreen) {
    const QRect screen(0, 0, 1280, 800);
    const QSize panel(380, 560);
    const std::pair<QRect, QPoint> cases[] = {
        {{600, 0, 24, 24}, {422, 32}},     // centred under an icon at the top
        {{1250, 0, 24, 24}, {892, 32}},    // pushed in from the right edge
        {{5, 0, 24, 24}, {8, 32}},         // and from the left
        {{600, 776, 24, 24}, {422, 208}},  // a tray at the bottom opens upwards
        {{}, {892, 8}},                    // no icon: the top right corner
    };
    for (const auto& [icon, expected] : cases)
        EXPECT_EQ(app::PanelWindow::placement(icon, panel, screen), expected) << icon.x() << "," << icon.y();
}

TEST(PanelPlacement, PutsACornerAtThePointerAndFlipsToStayOnTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    const QSize panel(380, 560);
    const std::tuple<const char*, QPoint, QPoint> cases[] = {
        {"a tray at the bottom right: above and to the left", {1270, 790}, {890, 230}},
        {"at the top right: below and to the left", {1270, 10}, {890, 10}},
        {"at the top left: below and to the right", {20, 12}, {20, 12}},
        {"at the bottom left: above and to the right", {20, 790}, {20, 230}},
        {"on the screen's edge: kept off it", {1279, 799}, {892, 232}},
        {"fitting neither way: pushed inside", {700, 500}, {700, 8}}};
    for (const auto& [what, click, expected] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(app::PanelWindow::placementAtPointer(click, panel, screen), expected);
    }
    // On a second screen to the right of the first, with a bar taking its bottom.
    EXPECT_EQ(app::PanelWindow::placementAtPointer({2550, 790}, panel, QRect(1280, 0, 1280, 776)),
              QPoint(2170, 208));
}

TEST(PanelPlacement, KeepsThePanelsSizeWhereItFitsAndShortensItToAShortScreen) {
    const std::pair<QRect, QSize> cases[] = {
        {{0, 0, 1280, 800}, {382, 562}},
        {{0, 0, 1000, 500}, {382, 484}},  // 1000 pixels at a scale of 2, each edge a margin off
        {{0, 24, 800, 576}, {382, 560}}};
    for (const auto& [screen, expected] : cases)
        EXPECT_EQ(app::PanelWindow::fittedSize(screen), expected) << screen.height();
}

// The app as autostarted at login, on the test's display before its tray host runs. Each test
// starts the host it needs.
class Tray : public testing::Test {
protected:
    void SetUp() override {
        if (!display) GTEST_SKIP() << "no Xvfb and trayer to host a tray";
        display->stopTray();
        ASSERT_TRUE(test::pumpUntil([] { return !app::TrayHost::present(); })) << "trayer kept the tray";
        test::hideDashboard();
    }

    // The icon is placed at the origin first and docked into the tray a moment later; `icon` is where.
    bool docked() {
        return test::pumpUntil([&] {
            auto* item = tray->tray();
            const QRect now = item ? item->geometry() : QRect();
            const bool still =
                item && item->isVisible() && !now.isEmpty() && now.topLeft() != QPoint(0, 0) && now == icon;
            icon = now;
            return still;
        });
    }

    // Starts the app with a tray docked at `edge` and clicks its icon; the panel opens across it.
    void openFromTrayAt(const std::string& edge) {
        display->startTray(edge);
        tray->start();
        ASSERT_TRUE(docked()) << "the icon was never docked";
        ASSERT_TRUE(display->click(icon.center().x(), icon.center().y()));
        ASSERT_TRUE(test::pumpUntil([&] { return tray->panel().isVisible(); }))
            << "the click did not open it";
        panel = tray->panel().geometry();
        EXPECT_TRUE(panel.left() <= icon.center().x() && icon.center().x() <= panel.right() + 1);
    }

    test::TrayDisplay* display = test::TrayDisplay::current;
    test::FakeWorld desk;
    std::unique_ptr<app::TrayApp> tray = test::onboardedApp(desk);
    QRect icon, panel;
};

TEST_F(Tray, AClickOnTheIconAtTheTopOpensThePanelUnderItWhereItsShareChoicesWork) {
    ASSERT_NO_FATAL_FAILURE(openFromTrayAt("top"));
    EXPECT_GT(panel.top(), icon.bottom());

    // On a real display the choices open inside the panel, and "Copy image" copies the card while
    // the panel stays open to say so.
    tray->panel().view().showTab(ui::PanelView::ListTab::overview);
    const auto clickOn = [&](const char* name) {
        QAbstractButton* button = nullptr;
        const bool shown = test::pumpUntil([&] {
            button = tray->panel().findChild<QAbstractButton*>(name);
            return button && button->isVisible();
        });
        const QPoint at = shown ? button->mapToGlobal(button->rect().center()) : QPoint();
        return shown && display->click(at.x(), at.y());
    };
    ASSERT_TRUE(clickOn("share"));
    ASSERT_TRUE(clickOn("copyImage"));
    EXPECT_TRUE(test::pumpUntil(
        [&] { return test::shownTexts(tray->panel()).contains("Image copied. Paste it into a post."); }));
    EXPECT_TRUE(tray->panel().isVisible());
}

TEST_F(Tray, AClickOnTheIconAtTheBottomOpensThePanelAboveIt) {
    // A server of the test's own, so that the panel has a row to give back whatever else runs here.
    const test::TestProcess server(test::listener({"--ttl", "60"}));
    ASSERT_NO_FATAL_FAILURE(openFromTrayAt("bottom"));
    EXPECT_GT(icon.top(), 800 / 2) << "trayer did not dock at the bottom";
    EXPECT_LT(panel.bottom(), icon.top());
    EXPECT_GE(panel.top(), 0);

    // Closed long enough to give back its rows and window, it opens again in the same place.
    ASSERT_TRUE(test::pumpUntil([&] { return !tray->panel().findChildren<ui::ServerRow*>().isEmpty(); }));
    tray->panel().hide();
    tray->panel().releaseHidden();
    EXPECT_TRUE(tray->panel().findChildren<ui::ServerRow*>().isEmpty());
    // A second click within the double-click time would be a double click, which opens nothing; and
    // one pixel aside, because a move to where the pointer already is never ends.
    (void)test::pumpUntil([] { return false; },
                          std::chrono::milliseconds(QApplication::doubleClickInterval() + 100));
    ASSERT_TRUE(display->click(icon.center().x() + 1, icon.center().y()));
    ASSERT_TRUE(test::pumpUntil([&] { return tray->panel().isVisible(); }));
    EXPECT_EQ(tray->panel().geometry(), panel);
    EXPECT_FALSE(tray->panel().findChildren<ui::ServerRow*>().isEmpty());
}

TEST_F(Tray, AHostThatStartsSecondsAfterTheAppStillGetsTheItemAndNoDashboardOpens) {
    tray->start();
    test::pumpUntil([] { return false; }, 3s);  // the desktop still starting
    EXPECT_EQ(tray->tray(), nullptr);
    display->startTray();
    EXPECT_TRUE(docked()) << "the icon was never docked";
    EXPECT_FALSE(test::dashboardShown());
}

TEST_F(Tray, WithNoHostTheDashboardOpensAfterTheWaitAndTheItemStillShowsWhenOneComes) {
    tray->hostWait = 1s;
    tray->start();
    EXPECT_TRUE(test::pumpUntil(test::dashboardShown)) << "the dashboard never opened without a tray";
    EXPECT_EQ(tray->tray(), nullptr);
    display->startTray();
    EXPECT_TRUE(docked()) << "the icon was never docked";
}

}  // namespace
}  // namespace tarvik
