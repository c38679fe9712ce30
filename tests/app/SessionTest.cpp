#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <set>

#include "app/AppTesting.hpp"
#include "app/DashboardWindow.hpp"
#include "app/SessionSocket.hpp"
#include "support/FakeEnvironment.hpp"
#include "support/TempHome.hpp"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using Environment = std::map<std::string, std::string, std::less<>>;

QString socketFor(const Environment& values) {
    return app::SessionSocket::path(test::fakeEnvironment(values), getuid());
}

std::string folderOf(const QString& socket) {
    return fs::path(socket.toStdString()).parent_path().string();
}

TEST(SessionSocket, EverySessionOfTheUserGetsItsOwnName) {
    test::TempDir one, two, temporary;
    const std::string a = one.path().string(), b = two.path().string(), t = temporary.path().string();
    // Other X displays, nested compositors, buses without a display, runtime folders, and other
    // displays without a runtime folder.
    const Environment sessions[] = {
        {{"XDG_RUNTIME_DIR", a}, {"DISPLAY", ":0"}},
        {{"XDG_RUNTIME_DIR", a}, {"DISPLAY", ":1"}},
        {{"XDG_RUNTIME_DIR", a}, {"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}},
        {{"XDG_RUNTIME_DIR", a}, {"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}},
        {{"XDG_RUNTIME_DIR", a}, {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/x/1"}},
        {{"XDG_RUNTIME_DIR", a}, {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/x/2"}},
        {{"XDG_RUNTIME_DIR", b}, {"DISPLAY", ":0"}},
        {{"TMPDIR", t}, {"DISPLAY", ":0"}},
        {{"TMPDIR", t}, {"DISPLAY", ":1"}}};
    std::set<QString> taken;
    for (const auto& session : sessions) {
        const QString socket = socketFor(session);
        ASSERT_FALSE(socket.isEmpty());
        EXPECT_TRUE(taken.insert(socket).second) << socket.toStdString() << " was another session's";
        EXPECT_EQ(socketFor(session), socket) << "not the same for a later launch in the session";
        const auto runtime = session.find("XDG_RUNTIME_DIR");
        EXPECT_EQ(folderOf(socket),
                  runtime != session.end() ? runtime->second : t + "/tarvik-" + std::to_string(getuid()));
    }
}

TEST(SessionSocket, TakesOnlyAFolderNoOneElseCanEnterOrMadeFirst) {
    test::TempDir runtime, temporary;
    const std::string t = temporary.path().string(), fallback = t + "/tarvik-" + std::to_string(getuid());
    const std::string real = t + "/real";

    // A runtime folder others may enter is passed over for a private one the app makes.
    chmod(runtime.path().c_str(), 0755);
    EXPECT_EQ(folderOf(socketFor({{"XDG_RUNTIME_DIR", runtime.path().string()}, {"TMPDIR", t}})), fallback);
    EXPECT_TRUE(app::SessionSocket::isPrivateFolder(fallback, getuid()));

    // The fallback folder made first by someone else, or opened to others, or a link, is not used.
    const std::pair<const char*, std::function<bool()>> cases[] = {
        {"opened to others", [&] { return chmod(fallback.c_str(), 0777) == 0; }},
        {"a link to a private folder",
         [&] {
             return rename(fallback.c_str(), real.c_str()) == 0 &&
                    symlink(real.c_str(), fallback.c_str()) == 0;
         }},
        {"owned by another user", [&] { return chown(fallback.c_str(), 65534, 65534) == 0; }}};
    for (const auto& [what, spoil] : cases) {
        SCOPED_TRACE(what);
        fs::remove_all(real);
        fs::remove_all(fallback);
        ASSERT_EQ(mkdir(fallback.c_str(), 0700), 0);
        if (spoil())
            EXPECT_TRUE(socketFor({{"TMPDIR", t}, {"DISPLAY", ":0"}}).isEmpty());
        else
            std::cout << "[ skipped ] " << what << ": needs root\n";
    }
}

// A launch of the real app in a session, with a home of the test's and no display server needed.
std::unique_ptr<test::TestProcess> launch(const Environment& session, const std::string& home) {
    std::vector<std::string> environment = {"HOME=" + home, "QT_QPA_PLATFORM=offscreen"};
    for (const auto& [name, value] : session) environment.push_back(name + "=" + value);
    return std::make_unique<test::TestProcess>(test::withOnly(environment, {TARVIK_APP_BINARY}));
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
    auto first = test::onboardedApp(desk, socketFor(sessionA));
    first->start();
    test::hideDashboard();

    // Session B's first launch starts an app of its own and keeps running.
    auto second = launch(sessionB, home.path().string());
    const std::string socketB = socketFor(sessionB).toStdString();
    ASSERT_TRUE(test::pumpUntil([&] { return fs::exists(socketB) || second->exitStatus(); }))
        << "the app of the second session never listened";
    EXPECT_FALSE(second->exitStatus()) << "the second session's app handed over to the first";

    // A second launch in session A hands over to the app here and exits.
    auto again = launch(sessionA, home.path().string());
    ASSERT_TRUE(test::pumpUntil([&] { return again->exitStatus().has_value(); }))
        << "the second launch in a session did not exit";
    EXPECT_EQ(again->exitStatus(), 0);
    EXPECT_TRUE(test::pumpUntil(test::dashboardShown)) << "the first app did not open its dashboard";
    // Closed, the window goes with its pages rather than waiting hidden.
    app::DashboardWindow::shared().window()->close();
    EXPECT_TRUE(test::pumpUntil([] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // as the app's loop does
        return !app::DashboardWindow::shared().window();
    }));
}

}  // namespace
}  // namespace tarvik
