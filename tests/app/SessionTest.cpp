#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QMainWindow>
#include <filesystem>
#include <map>

#include "app/DashboardWindow.hpp"
#include "app/SessionSocket.hpp"
#include "app/TrayApp.hpp"
#include "core/Version.hpp"
#include "support/TempDir.hpp"
#include "support/TempHome.hpp"
#include "support/TestProcess.hpp"
#include "ui/LiveMachine.hpp"

namespace tarvik {
namespace {

using Environment = std::map<std::string, std::string>;

XdgDirs::Lookup lookup(const Environment& values) {
    return [values](std::string_view name) -> std::optional<std::string> {
        auto found = values.find(std::string(name));
        if (found == values.end()) return std::nullopt;
        return found->second;
    };
}

QString socketFor(const Environment& values) {
    return app::SessionSocket::path(lookup(values), getuid());
}

TEST(SessionSocket, EverySessionOfTheUserGetsItsOwnName) {
    test::TempDir one, two, temporary;
    const std::string a = one.path().string(), b = two.path().string(), t = temporary.path().string();
    struct Case {
        const char* what;
        Environment first, second;
        bool same;
    };
    const std::vector<Case> cases = {
        {"one session",
         {{"XDG_RUNTIME_DIR", a}, {"DISPLAY", ":0"}},
         {{"XDG_RUNTIME_DIR", a}, {"DISPLAY", ":0"}},
         true},
        {"another X display",
         {{"XDG_RUNTIME_DIR", a}, {"DISPLAY", ":0"}},
         {{"XDG_RUNTIME_DIR", a}, {"DISPLAY", ":1"}},
         false},
        {"a nested compositor",
         {{"XDG_RUNTIME_DIR", a}, {"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}},
         {{"XDG_RUNTIME_DIR", a}, {"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}},
         false},
        {"another bus without a display",
         {{"XDG_RUNTIME_DIR", a}, {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/x/1"}},
         {{"XDG_RUNTIME_DIR", a}, {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/x/2"}},
         false},
        {"another runtime folder",
         {{"XDG_RUNTIME_DIR", a}, {"DISPLAY", ":0"}},
         {{"XDG_RUNTIME_DIR", b}, {"DISPLAY", ":0"}},
         false},
        {"no runtime folder, one session",
         {{"TMPDIR", t}, {"DISPLAY", ":0"}},
         {{"TMPDIR", t}, {"DISPLAY", ":0"}},
         true},
        {"no runtime folder, two sessions",
         {{"TMPDIR", t}, {"DISPLAY", ":0"}},
         {{"TMPDIR", t}, {"DISPLAY", ":1"}},
         false},
    };
    for (const auto& [what, first, second, same] : cases) {
        SCOPED_TRACE(what);
        const QString mine = socketFor(first), other = socketFor(second);
        ASSERT_FALSE(mine.isEmpty());
        EXPECT_EQ(mine == other, same) << mine.toStdString() << " " << other.toStdString();
        const std::string runtime =
            first.contains("XDG_RUNTIME_DIR") ? a : t + "/tarvik-" + std::to_string(getuid());
        EXPECT_EQ(std::filesystem::path(mine.toStdString()).parent_path(), runtime);
    }
}

TEST(SessionSocket, TakesOnlyAFolderNoOneElseCanEnterOrMadeFirst) {
    test::TempDir runtime, temporary;
    const std::string t = temporary.path().string();
    const std::string fallback = t + "/tarvik-" + std::to_string(getuid());

    // A runtime folder others may enter is passed over for a private one the app makes.
    chmod(runtime.path().c_str(), 0755);
    const QString made = socketFor({{"XDG_RUNTIME_DIR", runtime.path().string()}, {"TMPDIR", t}});
    EXPECT_EQ(std::filesystem::path(made.toStdString()).parent_path(), fallback);
    EXPECT_TRUE(app::SessionSocket::isPrivateFolder(fallback, getuid()));
    EXPECT_FALSE(app::SessionSocket::isPrivateFolder(runtime.path().string(), getuid()));

    // The fallback folder made first by someone else, or opened to others, or a link, is not used.
    struct Case {
        const char* what;
        std::function<bool()> spoil;
    };
    const std::vector<Case> cases = {
        {"opened to others", [&] { return chmod(fallback.c_str(), 0777) == 0; }},
        {"a link to a private folder",
         [&] {
             std::filesystem::rename(fallback, t + "/real");
             std::filesystem::create_directory_symlink(t + "/real", fallback);
             return true;
         }},
        {"owned by another user", [&] { return chown(fallback.c_str(), 65534, 65534) == 0; }},
    };
    for (const auto& [what, spoil] : cases) {
        SCOPED_TRACE(what);
        std::filesystem::remove_all(t + "/real");
        std::filesystem::remove_all(fallback);
        ASSERT_EQ(mkdir(fallback.c_str(), 0700), 0);
        if (!spoil()) {
            std::cout << "[ skipped ] " << what << ": needs root\n";
            continue;
        }
        EXPECT_TRUE(socketFor({{"TMPDIR", t}, {"DISPLAY", ":0"}}).isEmpty());
    }
}

// A launch of the real app in a session: its own runtime folder, the shared temporary folder, a
// home of the test's, and no display server needed.
std::unique_ptr<test::TestProcess> launch(const Environment& session, const std::string& home) {
    std::vector<std::string> argv = {"/usr/bin/env", "-i", "PATH=/usr/bin:/bin", "HOME=" + home,
                                     "QT_QPA_PLATFORM=offscreen"};
    for (const auto& [name, value] : session) argv.push_back(name + "=" + value);
    argv.push_back(TARVIK_APP_BINARY);
    return std::make_unique<test::TestProcess>(argv);
}

TEST(SingleInstance, EachSessionKeepsItsOwnAppAndASecondLaunchInOneHandsOver) {
    test::TempHome home;
    test::TempDir runtimeA, runtimeB, temporary;
    const Environment sessionA = {{"XDG_RUNTIME_DIR", runtimeA.path().string()},
                                  {"TMPDIR", temporary.path().string()},
                                  {"DISPLAY", ":91"}};
    Environment sessionB = sessionA;
    sessionB["XDG_RUNTIME_DIR"] = runtimeB.path().string();

    // Session A's app runs in this process, so that the test sees its dashboard.
    test::FakeWorld desk;
    desk.settings->values["hasOnboarded"] = true;
    desk.settings->values["lastRunVersion"] = QString(TARVIK_VERSION);
    app::TrayApp first(test::liveMachine(desk), socketFor(sessionA));
    first.start();
    const auto dashboardShown = [] {
        auto* window = app::DashboardWindow::shared().window();
        return window && window->isVisible();
    };
    if (auto* window = app::DashboardWindow::shared().window()) window->hide();

    // Session B's first launch starts an app of its own and keeps running.
    auto second = launch(sessionB, home.path().string());
    const std::string socketB = socketFor(sessionB).toStdString();
    ASSERT_TRUE(test::pumpUntil([&] { return std::filesystem::exists(socketB) || second->exitStatus(); }))
        << "the app of the second session never listened";
    EXPECT_FALSE(second->exitStatus()) << "the second session's app handed over to the first";

    // A second launch in session A hands over to the app here and exits.
    auto again = launch(sessionA, home.path().string());
    ASSERT_TRUE(test::pumpUntil([&] { return again->exitStatus().has_value(); }))
        << "the second launch in a session did not exit";
    EXPECT_EQ(again->exitStatus(), 0);
    EXPECT_TRUE(test::pumpUntil(dashboardShown)) << "the first app did not open its dashboard";

    // And one in session B hands over to B's app, which is still running.
    auto againB = launch(sessionB, home.path().string());
    ASSERT_TRUE(test::pumpUntil([&] { return againB->exitStatus().has_value(); }));
    EXPECT_EQ(againB->exitStatus(), 0);
    EXPECT_FALSE(second->exitStatus());
    if (auto* window = app::DashboardWindow::shared().window()) window->hide();
}

}  // namespace
}  // namespace tarvik
