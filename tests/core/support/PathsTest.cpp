#include "core/support/Paths.hpp"
#include "core/support/XdgDirs.hpp"
#include "support/FakeEnvironment.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace tarvik {
namespace {

TEST(Paths, DropsTrailingSlashesButKeepsTheRoot) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"/home/al///", "/home/al"}, {"/home/al", "/home/al"}, {"///", "/"}, {"", ""}};
    for (const auto& [path, stripped] : cases)
        EXPECT_EQ(Paths::withoutTrailingSlashes(path), stripped) << path;
}

TEST(Paths, AbbreviatesTheHomeOnlyAtAFolderBoundary) {
    const std::tuple<std::string_view, std::string_view, std::string_view> cases[] = {
        {"/home/al", "/home/al", "~"},
        {"/home/al/x", "/home/al", "~/x"},
        {"/home/al/shop/src", "/home/al/", "~/shop/src"},
        {"/home/alice/shop", "/home/al", "/home/alice/shop"},
        {"/srv/home/al/x", "/home/al", "/srv/home/al/x"},
        {"/srv/app", "", "/srv/app"},
        {"/srv/app", "/", "/srv/app"},
        {"", "/home/al", ""}};
    for (const auto& [path, home, shown] : cases)
        EXPECT_EQ(Paths::abbreviatingHome(path, home), shown) << path << " in " << home;
}

TEST(Paths, ExpandsOnlyALeadingTildeSlash) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"~/x", "/home/al/x"}, {"~", "~"}, {"~al/x", "~al/x"}, {"/opt/~/x", "/opt/~/x"}, {"x", "x"}};
    for (const auto& [path, expanded] : cases)
        EXPECT_EQ(Paths::expandingHome(path, "/home/al"), expanded) << path;
}

TEST(Paths, UserAreasAreTheHomeFoldersAndWhatLiesStrictlyInsideTheHome) {
    const std::tuple<std::string_view, std::string_view, bool> cases[] = {
        {"/home/bo/x", "/srv/al", true},  {"/Users/bo/x", "/srv/al", true},
        {"/srv/al/x", "/srv/al/", true},  {"/srv/al", "/srv/al", false},
        {"/srv/alice", "/srv/al", false}, {"/homework/x", "/srv/al", false},
        {"/srv/x", "/", false},           {"/srv/x", "", false}};
    for (const auto& [path, home, inside] : cases)
        EXPECT_EQ(Paths::isUserArea(path, home), inside) << path << " in " << home;
}

using test::fakeEnvironment;

TEST(XdgDirs, GivesEachBaseFolderFromTheEnvironmentElseUnderHomeIgnoringRelativeValues) {
    const std::string home = "/home/al";
    const XdgDirs::BaseDirs fallback{home + "/.cache", home + "/.local/share", home + "/.config",
                                     home + "/.local/state", std::nullopt};
    const std::pair<std::map<std::string, std::string, std::less<>>, XdgDirs::BaseDirs> cases[] = {
        {{}, fallback},
        {{{"XDG_CACHE_HOME", "/fast/cache/"},
          {"XDG_DATA_HOME", "/data"},
          {"XDG_CONFIG_HOME", "/etc/al"},
          {"XDG_STATE_HOME", "/state"},
          {"XDG_RUNTIME_DIR", "/run/user/1000"}},
         {"/fast/cache", "/data", "/etc/al", "/state", "/run/user/1000"}},
        {{{"XDG_CACHE_HOME", "cache"},
          {"XDG_DATA_HOME", ""},
          {"XDG_CONFIG_HOME", "~/.config"},
          {"XDG_STATE_HOME", "./state"},
          {"XDG_RUNTIME_DIR", "run"}},
         fallback}};
    for (const auto& [values, dirs] : cases) {
        SCOPED_TRACE(testing::PrintToString(values));
        EXPECT_EQ(XdgDirs::of(home, fakeEnvironment(values)), dirs);
        EXPECT_EQ(XdgDirs::of(home + "/", fakeEnvironment(values)), dirs);
    }
}

TEST(XdgDirs, ReadsUserFoldersOnlyInTheFormsTheFileAllows) {
    const std::string text =
        "# written by xdg-user-dirs-update\n"
        "XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n"
        "XDG_VIDEOS_DIR=\"/media/films/\"\n"
        "XDG_DESKTOP_DIR=\"$HOME/\"\n"
        "XDG_MUSIC_DIR=\"Music\"\n"
        "XDG_DOCUMENTS_DIR=$HOME/Papers\n"
        "  XDG_TEMPLATES_DIR = \"$HOME/Templates\"  \n";
    EXPECT_EQ(XdgDirs::parseUserDirs(text, "/home/al"),
              (std::map<std::string, std::string>{{"XDG_DESKTOP_DIR", "/home/al"},
                                                  {"XDG_DOWNLOAD_DIR", "/home/al/Fetched"},
                                                  {"XDG_TEMPLATES_DIR", "/home/al/Templates"},
                                                  {"XDG_VIDEOS_DIR", "/media/films"}}));

    test::TempDir home;
    const std::string h = home.path().string();
    auto dirs = test::plainDirs(h);
    EXPECT_EQ(XdgDirs::userDir(dirs, h, "XDG_DOWNLOAD_DIR", "Downloads"), h + "/Downloads");
    home.write(".config/user-dirs.dirs", text);
    EXPECT_EQ(XdgDirs::userDir(dirs, h, "XDG_DOWNLOAD_DIR", "Downloads"), h + "/Fetched");
    EXPECT_EQ(XdgDirs::userDir(dirs, h, "XDG_MUSIC_DIR", "Music"), h + "/Music");
}

}  // namespace
}  // namespace tarvik
