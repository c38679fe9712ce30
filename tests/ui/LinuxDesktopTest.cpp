// The desktop integration on Linux: the autostart entry, desktop entry files, the settings file,
// the clipboard and the Downloads folder.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "support/TempDir.hpp"
#include "support/TempHome.hpp"
#include "ui/linux/AutostartLoginItem.hpp"
#include "ui/linux/DesktopEntry.hpp"
#include "ui/linux/LinuxDesktop.hpp"
#include "ui/linux/QtSettingsStore.hpp"

namespace tarvik::ui {
namespace {

TEST(AutostartLoginItem, WritesAndRemovesTheEntry) {
    test::TempDir dir;
    AutostartLoginItem item(dir / "config", "/opt/My Apps/tarvik", {});
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.setEnabled(false), std::nullopt) << "nothing to remove";

    EXPECT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(item.isEnabled());
    EXPECT_EQ(test::readFile(dir / "config/autostart/tarvik.desktop"),
              "[Desktop Entry]\nType=Application\nName=Tarvik\n"
              "Comment=See what runs on your machine and what it costs\nExec=\"/opt/My Apps/tarvik\"\n"
              "Icon=tarvik\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");

    EXPECT_EQ(item.setEnabled(false), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(dir / "config/autostart/tarvik.desktop"));
    EXPECT_FALSE(item.isEnabled());

    for (const char* line : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        dir.write("config/autostart/tarvik.desktop",
                  std::string("[Desktop Entry]\nExec=tarvik\n") + line + "\n");
        EXPECT_FALSE(item.isEnabled()) << "an entry that turns itself off: " << line;
    }
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
        EXPECT_EQ(test::readFile(dir / "config/autostart/tarvik.desktop"), c.expected);
        EXPECT_TRUE(item.isEnabled());
    }
}

TEST(AutostartLoginItem, WritesItsOwnEntryWhenTheInstalledOneStartsNothing) {
    test::TempDir dir;
    dir.write("share/tarvik/tarvik-autostart.desktop", "[Desktop Entry]\nName=Tarvik\n");
    AutostartLoginItem item(dir / "config", "/home/ada/tarvik/build/tarvik-app", {dir / "share"});
    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_EQ(DesktopEntry::value(test::readFile(dir / "config/autostart/tarvik.desktop"), "Exec"),
              "/home/ada/tarvik/build/tarvik-app");
}

TEST(AutostartLoginItem, ReportsAFileInPlaceOfTheFolderAndRemovesALinkNotWhatItPointsAt) {
    test::TempDir dir;
    dir.write("autostart", "");
    auto error = AutostartLoginItem(dir.path(), "/usr/bin/tarvik").setEnabled(true);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(dir / "autostart/tarvik.desktop"), std::string::npos) << *error;

    std::filesystem::remove(dir / "autostart");
    dir.write("elsewhere.desktop", "[Desktop Entry]\n");
    dir.link("autostart/tarvik.desktop", dir / "elsewhere.desktop");
    EXPECT_EQ(AutostartLoginItem(dir.path(), "/usr/bin/tarvik").setEnabled(false), std::nullopt);
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "autostart/tarvik.desktop"));
    EXPECT_TRUE(std::filesystem::exists(dir / "elsewhere.desktop"));
}

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
        {"no entry file", "/a/org.gnome.Maps", "[Desktop Entry]\nDBusActivatable=true\n", std::nullopt}};
    for (const auto& [what, path, text, expected] : cases)
        EXPECT_EQ(DesktopEntry::busApplication(path, text), expected) << what;
}

TEST(DesktopEntry, QuotesExecArgumentsThatNeedIt) {
    const std::pair<const char*, const char*> cases[] = {{"/usr/bin/tarvik", "/usr/bin/tarvik"},
                                                         {"/opt/My Apps/tarvik", R"("/opt/My Apps/tarvik")"},
                                                         {"/opt/a$b\"c/t", R"("/opt/a\\$b\\"c/t")"},
                                                         {"/opt/back\\slash", R"("/opt/back\\\\slash")"},
                                                         {"/opt/100%/tarvik", "/opt/100%%/tarvik"}};
    for (const auto& [argument, written] : cases) EXPECT_EQ(DesktopEntry::execArgument(argument), written);
}

TEST(QtSettingsStore, KeepsBoolsAndStringsApartAfterARestart) {
    test::TempDir dir;
    QString file = QString::fromStdString(dir / "Tarvik.conf");
    QtSettingsStore(file).setValue("notify", true);
    QtSettingsStore(file).setValue("quiet", false);
    QtSettingsStore(file).setValue("display", "memory");

    // QSettings caches what a process wrote; a copy of the file reads as a new process would.
    std::filesystem::copy_file(dir / "Tarvik.conf", dir / "copy.conf");
    QtSettingsStore reopened(QString::fromStdString(dir / "copy.conf"));
    EXPECT_EQ(reopened.value("notify").typeId(), QMetaType::Bool);
    EXPECT_EQ(reopened.value("notify"), QVariant(true));
    EXPECT_EQ(reopened.value("quiet"), QVariant(false));
    EXPECT_EQ(reopened.value("display"), QVariant("memory"));
    EXPECT_FALSE(reopened.value("missing").isValid());
}

TEST(LinuxDesktopShare, PutsThePngOnTheClipboardAndFindsTheUsersDownloadsFolder) {
    LinuxDesktop desktop{QDBusConnection(QString())};
    QImage image(40, 20, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG"));
    EXPECT_FALSE(desktop.copyImage("not a picture"));
    ASSERT_TRUE(desktop.copyImage(png));
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->data("image/png"), png);
    EXPECT_EQ(qvariant_cast<QImage>(copied->imageData()).size(), QSize(40, 20));

    test::TempHome home;
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home / ".config"));
    home.write(".config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n");
    EXPECT_EQ(desktop.downloadsFolder(), std::nullopt);
    std::filesystem::create_directory(home.path() / "Fetched");
    EXPECT_EQ(desktop.downloadsFolder(), home / "Fetched");
    config.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", config);
}

}  // namespace
}  // namespace tarvik::ui
