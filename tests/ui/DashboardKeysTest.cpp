#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <set>

#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/dashboard/DashboardView.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik {
namespace {

using ui::DashboardSection;
using ui::DashboardView;

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

QString focusedName() {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "nothing";
}

// The preview machine's projects on an active window, as someone at the keyboard has them.
class DashboardKeysTest : public testing::Test {
protected:
    void SetUp() override {
        view.resize(ui::Theme::Size::dashboard);
        view.show();
        view.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
        test::settle();
    }
    void press(Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key);
        test::settle();
    }
    QAbstractButton* button(const QString& name) const { return view.findChild<QAbstractButton*>(name); }

    std::unique_ptr<ui::ServerStore> store = ui::Preview::store();
    DashboardView view{*store, DashboardSection::projects};
    QWidget* page = view.page(DashboardSection::projects);
};

TEST_F(DashboardKeysTest, TabGoesRoundEveryControlEachNamedAndRingedOnItsWay) {
    button("rail:overview")->setFocus(Qt::TabFocusReason);
    std::set<QWidget*> reached{QApplication::focusWidget()};
    for (int step = 0; step < 200; ++step) {
        press(Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (!reached.insert(now).second) break;
        const auto* ring = now->findChild<QWidget*>("focusRing");
        const bool ownRing = dynamic_cast<ui::CapsuleButton*>(now) || dynamic_cast<ui::SymbolButton*>(now);
        EXPECT_TRUE(ownRing ? ui::showsFocusRing(now) && !ring : ring && ring->isVisible())
            << "one ring on " << now->objectName().toStdString();
    }
    auto shown = page->findChildren<QAbstractButton*>();
    for (const char* name : {"railToggle", "rail:cpu", "stage:heat"}) shown << button(name);
    int stops = 0;
    for (auto* control : shown) {
        if (!control->isVisible()) continue;
        stops += control->objectName().startsWith("stop");
        EXPECT_TRUE(reached.contains(control)) << control->objectName().toStdString();
        EXPECT_FALSE(accessibleName(control).isEmpty()) << control->objectName().toStdString();
    }
    EXPECT_GE(stops, 3) << "a group's and its rows' stop buttons";
    EXPECT_TRUE(reached.contains(view.findChild<QWidget*>("search")));
    for (const char* name : {"search", "back", "forward"})
        EXPECT_FALSE(accessibleName(view.findChild<QWidget*>(name)).isEmpty()) << name;
}

TEST_F(DashboardKeysTest, ReturnAsksEscapeTakesItBackAndArrowsWalkTheRail) {
    QAbstractButton* stop = nullptr;
    for (auto* candidate : page->findChildren<QAbstractButton*>())
        if (candidate->objectName().startsWith("stop:")) stop = candidate;
    ASSERT_NE(stop, nullptr);
    const QString asker = stop->objectName();
    stop->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Return);
    ASSERT_NE(page->findChild<QAbstractButton*>("confirm"), nullptr);
    EXPECT_EQ(focusedName(), "cancel") << "the question takes the focus, on its safe answer";
    press(Qt::Key_Escape);
    EXPECT_EQ(page->findChild<QAbstractButton*>("confirm"), nullptr);
    EXPECT_EQ(focusedName(), asker);

    button("rail:projects")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Down);
    EXPECT_EQ(view.selection(), DashboardSection::settings);
    EXPECT_EQ(focusedName(), "rail:settings");
    press(Qt::Key_Down);
    EXPECT_EQ(view.selection(), DashboardSection::settings) << "the last section stays";
    press(Qt::Key_Up);
    press(Qt::Key_Up);
    EXPECT_EQ(view.selection(), DashboardSection::heat);
    button("stage:cpu")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    EXPECT_EQ(view.selection(), DashboardSection::cpu);
    button("stage:disk")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Enter);
    EXPECT_EQ(view.selection(), DashboardSection::disk);
}

}  // namespace
}  // namespace tarvik
