#include "core/support/XdgDirs.hpp"

#include <gtest/gtest.h>

#include "support/FakeEnvironment.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

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
         fallback},
    };
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
    auto dirs = XdgDirs::of(h, fakeEnvironment());
    EXPECT_EQ(XdgDirs::userDir(dirs, h, "XDG_DOWNLOAD_DIR", "Downloads"), h + "/Downloads");
    home.write(".config/user-dirs.dirs", text);
    EXPECT_EQ(XdgDirs::userDir(dirs, h, "XDG_DOWNLOAD_DIR", "Downloads"), h + "/Fetched");
    EXPECT_EQ(XdgDirs::userDir(dirs, h, "XDG_MUSIC_DIR", "Music"), h + "/Music");
}

}  // namespace
}  // namespace tarvik
