#include "ui/linux/AutostartLoginItem.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/TempDir.hpp"
#include "ui/linux/DesktopEntry.hpp"

namespace tarvik::ui {
namespace {

std::string read(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

TEST(AutostartLoginItem, WritesAndRemovesTheEntry) {
    test::TempDir dir;
    AutostartLoginItem item(dir / "config", "/opt/My Apps/tarvik", {});
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.setEnabled(false), std::nullopt) << "nothing to remove";

    EXPECT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(item.isEnabled());
    EXPECT_EQ(read(dir / "config/autostart/tarvik.desktop"),
              "[Desktop Entry]\nType=Application\nName=Tarvik\n"
              "Comment=See what runs on your machine and what it costs\nExec=\"/opt/My Apps/tarvik\"\n"
              "Icon=tarvik\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");

    EXPECT_EQ(item.setEnabled(false), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(dir / "config/autostart/tarvik.desktop"));
    EXPECT_FALSE(item.isEnabled());
}

// An installed Tarvik's entry starts the installed program, also when a build of it in another
// folder turns the switch on; the installation beside the executable comes before the system's.
TEST(AutostartLoginItem, CopiesTheInstalledEntry) {
    const std::string installed =
        "[Desktop Entry]\nType=Application\nName=Tarvik\nExec=/usr/bin/tarvik-app\n";
    const std::string beside =
        "[Desktop Entry]\nType=Application\nName=Tarvik\nExec=/opt/tarvik/bin/tarvik-app\n";
    struct Case {
        const char* name;
        bool system;
        bool besideExecutable;
        std::string expected;
    };
    for (const auto& c : {Case{"system only", true, false, installed},
                          Case{"beside the executable first", true, true, beside},
                          Case{"beside the executable only", false, true, beside}}) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        if (c.system) dir.write("usr/share/tarvik/tarvik-autostart.desktop", installed);
        if (c.besideExecutable) dir.write("opt/tarvik/share/tarvik/tarvik-autostart.desktop", beside);
        AutostartLoginItem item(dir / "config", dir / "opt/tarvik/bin/tarvik-app",
                                {dir / "missing", dir / "usr/share"});
        ASSERT_EQ(item.setEnabled(true), std::nullopt);
        EXPECT_EQ(read(dir / "config/autostart/tarvik.desktop"), c.expected);
        EXPECT_TRUE(item.isEnabled());
    }
}

TEST(AutostartLoginItem, WritesItsOwnEntryWhenTheInstalledOneStartsNothing) {
    test::TempDir dir;
    dir.write("share/tarvik/tarvik-autostart.desktop", "[Desktop Entry]\nName=Tarvik\n");
    AutostartLoginItem item(dir / "config", "/home/ada/tarvik/build/tarvik-app", {dir / "share"});
    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_EQ(DesktopEntry::value(read(dir / "config/autostart/tarvik.desktop"), "Exec"),
              "/home/ada/tarvik/build/tarvik-app");
}

TEST(AutostartLoginItem, EntriesThatTurnThemselvesOffAreOff) {
    for (const char* line : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        test::TempDir dir;
        dir.write("autostart/tarvik.desktop", std::string("[Desktop Entry]\nExec=tarvik\n") + line + "\n");
        EXPECT_FALSE(AutostartLoginItem(dir.path(), "/usr/bin/tarvik").isEnabled()) << line;
    }
}

TEST(AutostartLoginItem, ReportsAFileInPlaceOfTheFolder) {
    test::TempDir dir;
    dir.write("autostart", "");
    AutostartLoginItem item(dir.path(), "/usr/bin/tarvik");
    auto error = item.setEnabled(true);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(dir / "autostart/tarvik.desktop"), std::string::npos) << *error;
    EXPECT_FALSE(item.isEnabled());
}

TEST(AutostartLoginItem, RemovesALinkAndNotWhatItPointsAt) {
    test::TempDir dir;
    dir.write("elsewhere.desktop", "[Desktop Entry]\n");
    dir.link("autostart/tarvik.desktop", dir / "elsewhere.desktop");
    EXPECT_EQ(AutostartLoginItem(dir.path(), "/usr/bin/tarvik").setEnabled(false), std::nullopt);
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "autostart/tarvik.desktop"));
    EXPECT_TRUE(std::filesystem::exists(dir / "elsewhere.desktop"));
}

}  // namespace
}  // namespace tarvik::ui
