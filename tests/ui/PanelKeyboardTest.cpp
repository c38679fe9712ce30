#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <algorithm>
#include <vector>

#include "ui/Fakes.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/store/StoreSettings.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/PanelView.hpp"
#include "ui/views/ServerRow.hpp"
#include "ui/views/SettingsView.hpp"
#include "ui/views/TidyView.hpp"

namespace tarvik {
namespace {

using test::settle;
using ui::PanelView;
using Tab = PanelView::ListTab;

// The preview machine behind an onboarded panel on its active tab that has the keyboard, as an open
// popup has it.
class PanelKeyboardTest : public testing::Test {
protected:
    PanelKeyboardTest() : store(world.services()) {
        test::loadPreview(world, store);
        store.settings().setHasOnboarded(true);
        panel.setSubPages(new ui::TidyView(store), new ui::SettingsView(store));
        panel.setAttribute(Qt::WA_DontShowOnScreen);
        panel.setAnimated(false);
        panel.show();
        panel.showTab(Tab::active);
        QApplication::setActiveWindow(&panel);
        settle();
    }

    // Presses and lets go of `key` where the focus is; true when something in the panel took it.
    bool press(int key) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &panel;
        const QString text = key == Qt::Key_Space ? " " : QString();
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : &panel, &up);
        settle();
        return down.isAccepted();
    }
    [[nodiscard]] QString focused() const {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }
    [[nodiscard]] QWidget* named(const QString& name) const { return panel.findChild<QWidget*>(name); }

    test::FakeWorld world;
    ui::ServerStore store;
    PanelView panel{store};
};

// Tab goes round every control of the active tab in the order they show, each with its ring: the
// header, the tabs, each group's stop and each row with its buttons.
TEST_F(PanelKeyboardTest, TabWalksEveryControlOfTheActiveTabInTheOrderTheyShow) {
    std::vector<QWidget*> expected;
    for (auto* button : panel.findChildren<QAbstractButton*>())
        if (button->isVisibleTo(&panel)) expected.push_back(button);
    const auto rows = panel.findChildren<ui::ServerRow*>();
    ASSERT_GE(rows.size(), 4);
    for (auto* row : rows) {
        const QString id = row->objectName().mid(4);
        for (const QString& name : {"row:" + id, "stop:" + id, "copy:" + id, "expand:" + id})
            expected.push_back(named(name));
    }

    std::vector<QWidget*> order;
    for (int step = 0; step < 200; ++step) {
        ASSERT_TRUE(press(Qt::Key_Tab));
        QWidget* now = QApplication::focusWidget();
        ASSERT_TRUE(now && panel.isAncestorOf(now));
        EXPECT_TRUE(ui::showsFocusRing(now)) << now->objectName().toStdString();
        if (std::find(order.begin(), order.end(), now) != order.end()) break;
        order.push_back(now);
    }
    for (QWidget* widget : expected)
        EXPECT_NE(std::find(order.begin(), order.end(), widget), order.end())
            << "never reached " << widget->objectName().toStdString();
    auto at = [&](const QString& name) {
        return std::find(order.begin(), order.end(), named(name)) - order.begin();
    };
    EXPECT_LT(at("dashboard"), at("tab:overview"));
    EXPECT_LT(at("tab:stopped"), at("stopGroup:shop"));
    auto top = [&](const QWidget* row) { return row->mapTo(&panel, QPoint(0, 0)).y(); };
    for (std::size_t i = 1; i < order.size(); ++i) {
        auto* before = dynamic_cast<ui::ServerRow*>(order[i - 1]);
        for (std::size_t j = i; j < order.size() && before; ++j)
            if (auto* after = dynamic_cast<ui::ServerRow*>(order[j])) {
                EXPECT_LT(top(before), top(after)) << "rows out of their order";
                break;
            }
    }
}

// Up and Down go from row to row, Enter and Space open and close one; Escape closes an open question
// with the focus back where it was, and only the next Escape goes on to close the panel.
TEST_F(PanelKeyboardTest, ArrowsMoveBetweenRowsKeysActAndEscapeClosesTheQuestionFirst) {
    ui::focusByKeyboard(named("row:4388:3000"));
    ASSERT_TRUE(press(Qt::Key_Down));
    const QString second = focused();
    EXPECT_TRUE(second.startsWith("row:") && second != "row:4388:3000") << second.toStdString();
    press(Qt::Key_Up);
    EXPECT_EQ(focused(), "row:4388:3000");
    auto* row = dynamic_cast<ui::ServerRow*>(named("row:4388:3000"));
    press(Qt::Key_Return);
    EXPECT_TRUE(row->isExpanded());
    press(Qt::Key_Space);
    EXPECT_FALSE(row->isExpanded());

    const struct {
        QString control;
        int key;
    } cases[] = {{"stop:4388:3000", Qt::Key_Space}, {"stopGroup:shop", Qt::Key_Return}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control.toStdString());
        ui::focusByKeyboard(named(c.control));
        press(c.key);
        EXPECT_TRUE(test::shownTexts(panel).contains("Cancel"));
        EXPECT_EQ(focused(), "confirm");
        EXPECT_TRUE(press(Qt::Key_Escape));
        EXPECT_FALSE(test::shownTexts(panel).contains("Cancel"));
        EXPECT_EQ(focused(), c.control);
        EXPECT_FALSE(press(Qt::Key_Escape)) << "the second Escape is the window's, to close it";
    }
    EXPECT_TRUE(world.control->actions.empty() && world.control->groupStops.empty());
}

}  // namespace
}  // namespace tarvik
