#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>

#include "ui/Fakes.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/store/StoreSettings.hpp"
#include "ui/views/SettingsView.hpp"

namespace tarvik {
namespace {

using test::FakeWorld;
using ui::ServerStore;

class SettingsViewTest : public testing::Test {
protected:
    FakeWorld world;
    ServerStore store{world.services()};
    ui::SettingsView view{store};

    QAbstractButton* control(const QString& name) {
        for (auto* button : view.findChildren<QAbstractButton*>())
            if (button->accessibleName() == name || button->text() == name) return button;
        ADD_FAILURE() << "no control " << name.toStdString();
        return nullptr;
    }
    bool shows(const QString& text) { return test::shownTexts(view).contains(text); }
};

TEST_F(SettingsViewTest, EachSwitchFlipsItsSettingAndWritesItBack) {
    struct Case {
        const char* name;
        bool (ui::StoreSettings::*get)() const;
        const char* key;  // nullptr for settings the desktop keeps
    };
    for (const Case& c :
         {Case{"Show system listeners", &ui::StoreSettings::showSystemServers, "showSystemServers"},
          Case{"Notify on start & stop", &ui::StoreSettings::notificationsEnabled, "notificationsEnabled"},
          Case{"Computer gets hot", &ui::StoreSettings::alertOnHeat, "alertOnHeat"},
          Case{"Memory keeps growing", &ui::StoreSettings::alertOnMemoryGrowth, "alertOnMemoryGrowth"},
          Case{"CPU stays high", &ui::StoreSettings::alertOnHighCPU, "alertOnHighCPU"},
          Case{"Launch at login", &ui::StoreSettings::launchAtLogin, nullptr}}) {
        SCOPED_TRACE(c.name);
        auto* toggle = control(c.name);
        ASSERT_TRUE(toggle);
        const bool before = (store.settings().*c.get)();
        EXPECT_EQ(toggle->isChecked(), before);
        toggle->click();
        EXPECT_EQ((store.settings().*c.get)(), !before);
        EXPECT_EQ(toggle->isChecked(), !before);
        if (c.key) {
            EXPECT_EQ(world.settings->values.value(c.key), QVariant(!before));
        }
    }
    EXPECT_TRUE(shows("Include Linux and background-app ports"));
}

TEST_F(SettingsViewTest, ThePickerStoresTheChosenDisplayAndFollowsTheStore) {
    auto* picker = view.findChild<QComboBox*>();
    ASSERT_EQ(picker->count(), 3);
    picker->setCurrentIndex(1);
    EXPECT_EQ(world.settings->values.value("menuBarDisplay"), "memory");
    picker->setCurrentIndex(2);
    EXPECT_EQ(store.settings().menuBarDisplay(), ui::MenuBarDisplay::both);
    EXPECT_EQ(world.settings->values.value("menuBarDisplay"), "both");

    store.settings().setMenuBarDisplay(ui::MenuBarDisplay::count);
    store.settings().setShowSystemServers(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(picker->currentIndex(), 0);
    EXPECT_TRUE(control("Show system listeners")->isChecked());
}

TEST_F(SettingsViewTest, ARefusedLoginItemLeavesTheSwitchOff) {
    world.loginItem->fails = true;
    control("Launch at login")->click();
    EXPECT_EQ(world.loginItem->changes, 1);
    EXPECT_FALSE(store.settings().launchAtLogin());
    EXPECT_FALSE(control("Launch at login")->isChecked());
}

// The system's package manager updates Tarvik: no switch may promise that Tarvik does.
TEST_F(SettingsViewTest, TheFooterNamesTheVersionAndItsButtonsReachTheStoreWithNoPromiseOfUpdates) {
    for (auto* button : view.findChildren<QAbstractButton*>())
        EXPECT_FALSE(button->accessibleName().contains("Update automatically"))
            << button->accessibleName().toStdString();
    for (auto* label : view.findChildren<QLabel*>())
        EXPECT_FALSE(label->text().contains("new versions")) << label->text().toStdString();
    EXPECT_TRUE(shows("Tarvik 1.4.0"));
    control("Check for Updates")->click();
    ASSERT_TRUE(store.toast());
    EXPECT_EQ(*store.toast(), "Tarvik 1.4.0 is installed. Updates come with your system's packages.");
    control("Send Test Notification")->click();
    EXPECT_EQ(world.notifier->posts.size(), 1u);
}

}  // namespace
}  // namespace tarvik
