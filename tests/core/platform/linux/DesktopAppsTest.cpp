#include "core/platform/linux/DesktopApps.hpp"

#include <gtest/gtest.h>

#include "support/TempDir.hpp"

namespace tarvik {
namespace {

TEST(DesktopAppsUnit, FindsTheInnermostApplicationUnit) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-org.gnome.Terminal.slice/"
         "vte-spawn-5f1c.scope\n",
         "org.gnome.Terminal"},
        {"0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-firefox\\x2desr-4242.scope\n",
         "gnome-firefox-esr"},
        {"0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-code@a1b2.service\n", "code"},
        {"0::/user.slice/user-1000.slice/user@1000.service/app.slice/dbus.service\n", std::nullopt},
        {"12:pids:/\n1:name=systemd:/user.slice/app-kde-org.kde.konsole-77.scope\n", "kde-org.kde.konsole"},
        {"0::/user.slice/app-outer.slice/app-..\\x2f..\\x2f..\\x2ftmp\\x2fx.service\n", "outer"},
        {"0::/user.slice/app-nul\\x00.desktop.service\n", std::nullopt}};
    for (const auto& [cgroup, unit] : cases) EXPECT_EQ(DesktopApps::unitApplication(cgroup), unit) << cgroup;
}

TEST(DesktopAppsEntries, ReadsTheNameOfTheDesktopEntryGroupOnly) {
    EXPECT_EQ(DesktopApps::entryName("[Desktop Entry]\nGenericName=Terminal emulator\nName[de]=Terminal DE\n"
                                     "Name=Terminal\n[Desktop Action new]\nName=New Window\n"),
              "Terminal");
    EXPECT_EQ(DesktopApps::entryName("[Desktop Action new]\nName=New Window\n"), std::nullopt);
}

TEST(DesktopAppsDirectory, LooksUpWithAndWithoutTheLauncherPrefix) {
    test::TempDir dir;
    dir.write("user/firefox-esr.desktop", "[Desktop Entry]\nName=Firefox ESR\n");
    dir.write("system/firefox-esr.desktop", "[Desktop Entry]\nName=Shadowed\n");
    DesktopApps::Directory directory({dir / "user", dir / "system"});
    EXPECT_EQ(directory.lookup("gnome-firefox-esr"),
              (DesktopApp{"Firefox ESR", dir / "user/firefox-esr.desktop"}));
    EXPECT_FALSE(directory.lookup("gnome-unknown"));
}

TEST(DesktopApps, SystemServiceFollowsTheTopSliceOfTheUnitPath) {
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"0::/system.slice/ssh.service\n", true},
        {"0::/init.scope\n", true},
        {"0::/user.slice/user-1000.slice/session-2.scope\n", false},
        {"12:pids:/\n1:name=systemd:/system.slice/cron.service\n0::/\n", true},
        {"0::/\n", std::nullopt},
        {"0::/machine.slice/libpod-1.scope\n", std::nullopt}};
    for (const auto& [cgroup, system] : cases)
        EXPECT_EQ(DesktopApps::systemService(cgroup), system) << cgroup;
}

}  // namespace
}  // namespace tarvik
