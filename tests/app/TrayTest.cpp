#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include "app/DashboardWindow.hpp"
#include "app/PanelWindow.hpp"
#include "app/TrayApp.hpp"
#include "core/Version.hpp"
#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"
#include "support/TrayDisplay.hpp"
#include "ui/LiveMachine.hpp"
#include "ui/views/PanelView.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

bool shows(const QWidget& widget, const QString& text) {
    for (const auto* label : widget.findChildren<QLabel*>())
        if (label->isVisibleTo(&widget) && label->text().contains(text)) return true;
    return false;
}

// The icon is placed at the origin first and docked into the tray a moment later; `icon` is where.
bool docked(app::TrayApp& app, QRect& icon, std::chrono::milliseconds limit = 30s) {
    return test::pumpUntil(
        [&] {
            auto* tray = app.tray();
            const QRect now = tray ? tray->geometry() : QRect();
            const bool still =
                tray && tray->isVisible() && !now.isEmpty() && now.topLeft() != QPoint(0, 0) && now == icon;
            icon = now;
            return still;
        },
        limit);
}

TEST(PanelPlacement, HangsUnderTheIconAndStaysOnItsScreen) {
    const QRect screen(0, 0, 1280, 800);
    const QSize panel(380, 560);
    struct Case {
        QRect icon;
        QPoint expected;
    };
    const std::vector<Case> cases = {
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
    struct Case {
        const char* what;
        QPoint click, expected;
    };
    const std::vector<Case> cases = {
        {"a tray at the bottom right: above and to the left", {1270, 790}, {890, 230}},
        {"at the top right: below and to the left", {1270, 10}, {890, 10}},
        {"at the top left: below and to the right", {20, 12}, {20, 12}},
        {"at the bottom left: above and to the right", {20, 790}, {20, 230}},
        {"on the screen's edge: kept off it", {1279, 799}, {892, 232}},
        {"fitting neither way: pushed inside", {700, 500}, {700, 8}},
    };
    for (const auto& [what, click, expected] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(app::PanelWindow::placementAtPointer(click, panel, screen), expected);
    }
    // On a second screen to the right of the first, with a bar taking its bottom.
    EXPECT_EQ(app::PanelWindow::placementAtPointer({2550, 790}, panel, QRect(1280, 0, 1280, 776)),
              QPoint(2170, 208));
}

TEST(Tray, AClickOnTheIconOpensThePanelUnderItAndANewServerShowsWithinARefresh) {
    auto* display = test::TrayDisplay::current;
    if (!display) GTEST_SKIP() << "no Xvfb and trayer to host a tray";
    ASSERT_TRUE(test::pumpUntil(app::TrayHost::present))
        << "trayer did not take the tray on " << display->display();

    test::FakeWorld desk;
    desk.settings->values["hasOnboarded"] = true;
    desk.settings->values["lastRunVersion"] = QString(TARVIK_VERSION);
    auto services = test::liveMachine(desk);
    app::TrayApp tray(std::move(services), QString("tarvik-test-%1").arg(QCoreApplication::applicationPid()));
    tray.start();
    QRect icon;
    ASSERT_TRUE(docked(tray, icon)) << "the icon was never docked";
    ASSERT_TRUE(display->click(icon.center().x(), icon.center().y()));
    ASSERT_TRUE(test::pumpUntil([&] { return tray.panel().isVisible(); }))
        << "the click did not open the panel";
    const QRect panel = tray.panel().geometry();
    EXPECT_GT(panel.top(), icon.bottom());
    EXPECT_TRUE(panel.left() <= icon.center().x() && icon.center().x() <= panel.right() + 1);
    EXPECT_TRUE(tray.store().panelIsOpen());

    test::TempDir folder;
    test::TestProcess server(test::listener({"--ttl", "120"}), folder.path().string());
    auto ports = server.numbers();
    ASSERT_FALSE(ports.empty());
    tray.panel().view().showTab(ui::PanelView::ListTab::active);
    const QString port = QString::number(ports.front());
    // The next refresh finds it (the loop's pause may still be the 8 s chosen before the panel
    // opened); the panel shows it when that refresh is applied, after its probes.
    const auto listed = [&] {
        for (const auto& found : tray.store().servers())
            if (found.pid == server.pid()) return true;
        return false;
    };
    ASSERT_TRUE(test::pumpUntil(listed));
    EXPECT_TRUE(test::pumpUntil([&] { return shows(tray.panel(), port); }, 10s));

    // Sharing from the panel on a real display: the choices open inside it, and "Copy image"
    // copies the card while the panel stays open to say so.
    tray.panel().view().showTab(ui::PanelView::ListTab::overview);
    const auto clickOn = [&](const char* name) {
        QAbstractButton* button = nullptr;
        const bool shown = test::pumpUntil([&] {
            button = tray.panel().findChild<QAbstractButton*>(name);
            return button && button->isVisible();
        });
        if (!shown) return false;
        const QPoint at = button->mapToGlobal(button->rect().center());
        return display->click(at.x(), at.y());
    };
    ASSERT_TRUE(clickOn("share"));
    ASSERT_TRUE(clickOn("copyImage"));
    EXPECT_TRUE(test::pumpUntil([&] { return !desk.desktop->copiedImage.isEmpty(); }));
    EXPECT_TRUE(test::pumpUntil([&] { return shows(tray.panel(), "Image copied. Paste it into a post."); }));
    EXPECT_TRUE(tray.panel().isVisible());
}

bool dashboardShown() {
    auto* window = app::DashboardWindow::shared().window();
    return window && window->isVisible();
}

// The app as autostarted at login: the tray host is not there yet.
struct Login {
    test::FakeWorld desk;
    std::unique_ptr<app::TrayApp> app;

    explicit Login(test::TrayDisplay& display) {
        display.stopTray();
        if (auto* window = app::DashboardWindow::shared().window()) window->hide();
        desk.settings->values["hasOnboarded"] = true;
        desk.settings->values["lastRunVersion"] = QString(TARVIK_VERSION);
        app = std::make_unique<app::TrayApp>(test::liveMachine(desk), QString());
    }
};

TEST(Tray, AHostThatStartsSecondsAfterTheAppStillGetsTheItemAndNoDashboardOpens) {
    auto* display = test::TrayDisplay::current;
    if (!display) GTEST_SKIP() << "no Xvfb and trayer to host a tray";
    Login login(*display);
    ASSERT_TRUE(test::pumpUntil([] { return !app::TrayHost::present(); })) << "trayer kept the tray";
    login.app->start();
    test::pumpUntil([] { return false; }, 3s);  // the desktop still starting
    EXPECT_EQ(login.app->tray(), nullptr);

    display->startTray();
    QRect icon;
    EXPECT_TRUE(docked(*login.app, icon)) << "the icon was never docked";
    EXPECT_FALSE(dashboardShown());
}

TEST(Tray, WithNoHostTheDashboardOpensAfterTheWaitAndTheItemStillShowsWhenOneComes) {
    auto* display = test::TrayDisplay::current;
    if (!display) GTEST_SKIP() << "no Xvfb and trayer to host a tray";
    Login login(*display);
    ASSERT_TRUE(test::pumpUntil([] { return !app::TrayHost::present(); })) << "trayer kept the tray";
    login.app->hostWait = 1s;
    login.app->start();
    EXPECT_TRUE(test::pumpUntil(dashboardShown)) << "the dashboard never opened without a tray";
    EXPECT_EQ(login.app->tray(), nullptr);

    display->startTray();
    QRect icon;
    EXPECT_TRUE(docked(*login.app, icon)) << "the icon was never docked";
    app::DashboardWindow::shared().window()->hide();
}

TEST(Tray, ATrayAtTheBottomOpensThePanelAboveTheIcon) {
    auto* display = test::TrayDisplay::current;
    if (!display) GTEST_SKIP() << "no Xvfb and trayer to host a tray";
    Login login(*display);
    ASSERT_TRUE(test::pumpUntil([] { return !app::TrayHost::present(); })) << "trayer kept the tray";
    display->startTray("bottom");
    login.app->start();
    QRect icon;
    ASSERT_TRUE(docked(*login.app, icon)) << "the icon was never docked";
    EXPECT_GT(icon.top(), 800 / 2) << "trayer did not dock at the bottom";
    ASSERT_TRUE(display->click(icon.center().x(), icon.center().y()));
    ASSERT_TRUE(test::pumpUntil([&] { return login.app->panel().isVisible(); }))
        << "the click did not open the panel";
    const QRect panel = login.app->panel().geometry();
    EXPECT_LT(panel.bottom(), icon.top());
    EXPECT_GE(panel.top(), 0);
    EXPECT_TRUE(panel.left() <= icon.center().x() && icon.center().x() <= panel.right() + 1);
    login.app->panel().hide();
    display->stopTray();
    display->startTray();
}

TEST(Tray, WithoutTheIconsPlaceThePanelOpensAtThePointer) {
    auto* display = test::TrayDisplay::current;
    if (!display) GTEST_SKIP() << "no Xvfb to point on";
    Login login(*display);
    login.app->start();
    ASSERT_EQ(login.app->tray(), nullptr);
    // A click on the bare screen moves the pointer there, as a click on a tray of a bar would.
    const QPoint click(1270, 790);
    ASSERT_TRUE(display->click(click.x(), click.y()));
    ASSERT_TRUE(test::pumpUntil([&] { return QCursor::pos() == click; }));
    login.app->togglePanel();
    ASSERT_TRUE(test::pumpUntil([&] { return login.app->panel().isVisible(); }));
    // Its bottom right corner at the click: above it and to its left.
    const QRect panel = login.app->panel().geometry();
    const QPoint corner = panel.bottomRight() + QPoint(1, 1);
    EXPECT_LE((corner - click).manhattanLength(), 2) << corner.x() << "," << corner.y();
    login.app->panel().hide();
    display->startTray();
}

}  // namespace
}  // namespace tarvik
