#include "ui/linux/DesktopEntry.hpp"

#include <gtest/gtest.h>

namespace tarvik::ui {
namespace {

using DesktopEntry::BusApplication;

TEST(DesktopEntry, FindsTheBusApplicationOfActivatableEntriesOnly) {
    const std::tuple<const char*, const char*, const char*, std::optional<BusApplication>> cases[] = {
        {"activatable", "/usr/share/applications/org.gnome.TextEditor.desktop",
         "# comment\n[Desktop Entry]\nName=Text Editor\nDBusActivatable = true\r\n",
         BusApplication{"org.gnome.TextEditor", "/org/gnome/TextEditor"}},
        {"dash in the id", "/a/org.example.my-app.desktop", "[Desktop Entry]\nDBusActivatable=true\n",
         BusApplication{"org.example.my-app", "/org/example/my_app"}},
        {"false", "/a/org.gnome.Maps.desktop", "[Desktop Entry]\nDBusActivatable=false\n", std::nullopt},
        {"absent", "/a/org.gnome.Maps.desktop", "[Desktop Entry]\nName=Maps\n", std::nullopt},
        {"in an action group", "/a/org.gnome.Maps.desktop",
         "[Desktop Entry]\nName=Maps\n[Desktop Action new]\nDBusActivatable=true\n", std::nullopt},
        {"id is no bus name", "/a/firefox.desktop", "[Desktop Entry]\nDBusActivatable=true\n", std::nullopt},
        {"element starts with a digit", "/a/org.7zip.App.desktop", "[Desktop Entry]\nDBusActivatable=true\n",
         std::nullopt},
        {"no entry file", "/a/org.gnome.Maps", "[Desktop Entry]\nDBusActivatable=true\n", std::nullopt},
    };
    for (const auto& [what, path, text, expected] : cases)
        EXPECT_EQ(DesktopEntry::busApplication(path, text), expected) << what;
}

TEST(DesktopEntry, QuotesExecArgumentsThatNeedIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/tarvik", "/usr/bin/tarvik"},     {"/opt/My Apps/tarvik", R"("/opt/My Apps/tarvik")"},
        {"/opt/a$b\"c/t", R"("/opt/a\\$b\\"c/t")"}, {"/opt/back\\slash", R"("/opt/back\\\\slash")"},
        {"/opt/100%/tarvik", "/opt/100%%/tarvik"},
    };
    for (const auto& [argument, written] : cases) EXPECT_EQ(DesktopEntry::execArgument(argument), written);
}

}  // namespace
}  // namespace tarvik::ui
