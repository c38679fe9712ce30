#include <gtest/gtest.h>

#include <csignal>

#include "core/servers/DevFootprint.hpp"
#include "core/servers/FreedCopy.hpp"
#include "ui/Fakes.hpp"
#include "ui/ServerStore.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/store/StoreChecks.hpp"
#include "ui/store/StoreNotifications.hpp"
#include "ui/store/StoreSettings.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
using test::app;
using test::devServer;
using test::FakeWorld;
using test::sampled;
using ui::SamplingResult;
using ui::ServerStore;

class StoreTest : public testing::Test {
protected:
    FakeWorld world;
    std::unique_ptr<ServerStore> store;

    ServerStore& make() {
        store = std::make_unique<ServerStore>(world.services());
        return *store;
    }
    void script(std::vector<SamplingResult> results) {
        world.sampling->script.assign(results.begin(), results.end());
    }
    void advance(std::chrono::duration<double> span) { world.scheduler->advance(span); }
    int samplesAfter(std::chrono::duration<double> span) {
        advance(span);
        return world.sampling->calls;
    }
};

TEST_F(StoreTest, TheFirstRefreshStaysSilentAndLaterOnesNotifyStartsStopsAndHeatOncePerHour) {
    auto hot = [](std::vector<Server> servers) {
        auto result = sampled(std::move(servers));
        result.vitals.thermal = ThermalLevel::critical;
        result.vitals.chipCelsius = 96.6;
        return result;
    };
    script({hot({devServer(1, 3000)}), hot({devServer(2, 5173)})});
    make().refresh();
    EXPECT_TRUE(store->hasScanned());
    EXPECT_TRUE(world.notifier->posts.empty());

    store->refresh();
    ASSERT_EQ(world.notifier->posts.size(), 3u);
    EXPECT_EQ(world.notifier->posts[0].title, "Your computer is very hot");
    EXPECT_EQ(world.notifier->posts[0].body,
              "The chip is at 97 °C. No single app stands out; several are sharing the work.");
    EXPECT_TRUE(world.notifier->posts[0].identifier.starts_with("heat-"));
    EXPECT_EQ(world.notifier->posts[1],
              (ui::Notification{"Vite is up", "Listening on localhost:5173", "start-2:5173"}));
    EXPECT_EQ(world.notifier->posts[2],
              (ui::Notification{"Vite stopped", "Port 3000 is free again", "stop-1:3000"}));

    store->refresh();
    EXPECT_EQ(world.notifier->posts.size(), 3u);

    store->notifications().start();
    int panels = 0, dashboards = 0;
    QObject::connect(store.get(), &ServerStore::panelRequested, [&] { ++panels; });
    QObject::connect(store.get(), &ServerStore::dashboardRequested, [&] { ++dashboards; });
    for (const auto& post : world.notifier->posts) world.notifier->clickHandler(post.identifier);
    EXPECT_EQ(panels, 2);
    EXPECT_EQ(dashboards, 0);
}

// `count` Vite servers from pid `pid` on, each on `ports` ports from `port`.
std::vector<Server> vites(std::int32_t pid, int count, int ports = 1, int port = 5000) {
    std::vector<Server> servers;
    for (int process = 0; process < count; ++process)
        for (int i = 0; i < ports; ++i) servers.push_back(devServer(pid + process, port++));
    return servers;
}

TEST(ServerNotices, OneNoticePerProcessAndOneRollUpPerKindForMoreThanAFew) {
    using Shown = std::vector<std::pair<std::string, std::string>>;  // title, body
    auto named = [](std::vector<Server> servers, std::vector<std::string> kinds) {
        for (std::size_t i = 0; i < servers.size(); ++i) servers[i].kind.name = kinds[i % kinds.size()];
        return servers;
    };
    const auto hostile = named(vites(1, 1), {"Vite\x1b[31m\xff"});
    struct Case {
        std::vector<Server> before, after;
        Shown shown;
    };
    const std::vector<Case> cases = {
        {{},
         vites(1, 3),
         {{"Vite is up", "Listening on localhost:5000"},
          {"Vite is up", "Listening on localhost:5001"},
          {"Vite is up", "Listening on localhost:5002"}}},
        {{},
         named(vites(1, 50), {"Vite", "Next.js", "Vite", "Astro", "Remix"}),
         {{"50 dev servers started", "Vite, Next.js, Astro, …"}}},
        {vites(1, 50),
         vites(60, 50),
         {{"50 dev servers started", "Vite"}, {"50 dev servers stopped", "Vite"}}},
        {{}, vites(1, 1, 20), {{"Vite is up", "Listening on localhost:5000, 5001 and 18 more"}}},
        {{}, vites(1, 1, 3), {{"Vite is up", "Listening on localhost:5000, 5001 and 5002"}}},
        {vites(1, 1, 2), {}, {{"Vite stopped", "Ports 5000 and 5001 are free again"}}},
        // A process still listening neither starts nor stops, whichever ports it swaps.
        {vites(1, 1), vites(1, 1, 1, 6000), {}},
        {vites(1, 1), vites(1, 1, 30), {}},
        {hostile, {}, {{"Vite\\e[31m\uFFFD stopped", "Port 5000 is free again"}}},
        {{}, named(vites(1, 4), {"Vite\x1b[31m\xff"}), {{"4 dev servers started", "Vite\\e[31m\uFFFD"}}}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ui::ServerNotices notices;
        Shown shown;
        for (const auto& notice :
             notices.take(SnapshotDiff(cases[i].before, cases[i].after), cases[i].after, {}))
            shown.emplace_back(notice.title, notice.body);
        EXPECT_EQ(shown, cases[i].shown) << "case " << i;
    }
}

TEST(ServerNotices, AChurnGivesAtMostOneRollUpPerKindAMinuteAndCountsEveryServerOnce) {
    for (int perRefresh : {1, 5}) {
        ui::ServerNotices notices;
        std::map<bool, std::vector<std::pair<int, int>>> heard;  // started or not: seconds, servers
        auto take = [&](const std::vector<Server>& before, const std::vector<Server>& after, int at) {
            for (const auto& notice : notices.take(SnapshotDiff(before, after), after, Date{} + 1s * at)) {
                const bool rollUp = notice.title.find("dev servers") != std::string::npos;
                heard[notice.identifier.starts_with("start")].emplace_back(
                    at, rollUp ? std::stoi(notice.title) : 1);
            }
        };
        const int refreshes = 60;
        for (int n = 0; n < refreshes; ++n)
            take(vites(n * perRefresh + 1, perRefresh), vites((n + 1) * perRefresh + 1, perRefresh), 3 * n);
        const auto last = vites(refreshes * perRefresh + 1, perRefresh);
        for (int at = 3 * refreshes; at <= 3 * refreshes + 60; at += 3)
            take(last, last, at);  // what is held comes out when nothing changes

        ASSERT_EQ(heard.size(), 2u) << perRefresh;
        for (const auto& [kind, times] : heard) {
            int counted = 0, firstMinute = 0;
            for (std::size_t i = 0; i < times.size(); ++i) {
                counted += times[i].second;
                if (times[i].first < 60) {
                    ++firstMinute;
                } else if (i > 0) {
                    EXPECT_GE(times[i].first - times[i - 1].first, 60) << perRefresh << kind;
                }
            }
            EXPECT_EQ(counted, refreshes * perRefresh) << perRefresh << kind;
            EXPECT_LE(firstMinute, perRefresh > 3 ? 1 : 4) << perRefresh << kind;
        }
    }
}

TEST_F(StoreTest, AServerBackOnItsPortLeavesNoRecentStop) {
    script({sampled({devServer(1, 3000)}), sampled({devServer(2, 3000)}), sampled({})});
    make().refresh();
    store->refresh();
    EXPECT_TRUE(store->recentStops().entries.empty());
    store->refresh();
    ASSERT_EQ(store->recentStops().entries.size(), 1u);
    EXPECT_EQ(store->recentStops().entries[0].server.pid, 2);
}

TEST_F(StoreTest, AServerThatOutlivesItsStopBecomesStubbornUntilNoScanSeesIt) {
    auto vite = devServer(7, 5173);
    script({sampled({vite}), sampled({vite}), sampled({devServer(8, 5173)})});
    make().refresh();
    store->actions().kill(vite, false);
    EXPECT_EQ(world.control->actions, (std::vector<StopAction>{StopActions::SignalProcess{7}}));
    advance(1.4s);
    EXPECT_TRUE(store->stubbornPids().empty());
    advance(0.1s);
    EXPECT_EQ(store->stubbornPids(), (std::set<std::int32_t>{7}));
    EXPECT_FALSE(store->toast());
    store->refresh();
    EXPECT_TRUE(store->stubbornPids().empty());

    store->actions().kill(devServer(8, 5173), true);
    script({sampled({})});
    advance(1.5s);
    EXPECT_EQ(world.control->actions.back(), StopAction(StopActions::ForceSignalProcess{8}));
    EXPECT_EQ(store->toast(), FreedCopy::stopped("Vite", vite.memoryBytes, {5173}));
}

// A stop ends the server's whole process tree: the toast names every listed server that went. A
// shell loop or a process manager that starts the server again at once is named, and nothing is
// freed, for one server and for a group.
TEST_F(StoreTest, AStopNamesTheOtherServersOfItsTreeAndWhoRestartedIt) {
    auto vite = devServer(7, 5173), inspector = devServer(9, 9229, 0, "Node.js");
    auto a = devServer(11, 3000), b = devServer(12, 3001, 0, "Python");
    world.control->table = {{1, 0, 0, 0, 1},    {7, 1, 0, 0, 70},     {8, 7, 0, 0, 80},
                            {9, 8, 0, 0, 90},   {4242, 1, 0, 0, 1},   {11, 4242, 0, 0, 110},
                            {12, 1, 0, 0, 120}, {13, 4242, 0, 0, 130}};
    world.control->names = {{4242, "bash"}};
    script({sampled({vite, inspector}), sampled({})});
    make().refresh();
    store->actions().kill(vite, false);
    advance(1.5s);
    EXPECT_EQ(store->toast(),
              "Vite stopped, and so did Node.js on port 9229. 400 MB and ports 5173 and 9229 are free.");

    const std::string restarted =
        "Vite on port 3000 was restarted by its parent bash (process 4242); stop that to end it.";
    script({sampled({a, b}), sampled({devServer(13, 3000), b})});
    store->refresh();
    store->actions().kill(a, false);
    advance(1.5s);
    EXPECT_EQ(store->toast(), restarted);
    EXPECT_TRUE(store->stubbornPids().empty()) << "a forced stop would not help";

    script({sampled({a, b}), sampled({devServer(13, 3000)})});
    store->refresh();
    store->actions().stop({a, b}, "shop");
    advance(1.5s);
    EXPECT_EQ(store->toast(), restarted + " Python on port 3001 stopped.");
}

TEST_F(StoreTest, ANewerToastLivesItsFullFourSeconds) {
    make().actions().announce("first");
    advance(1s);
    store->actions().announce("second");
    advance(3.9s);
    EXPECT_EQ(store->toast(), "second");
    advance(0.2s);
    EXPECT_FALSE(store->toast());
}

TEST_F(StoreTest, TheSameCPUHogNotifiesOncePerHour) {
    script({sampled({devServer(9, 3000, 95)})});
    make().startPolling();
    advance(11min);
    ASSERT_EQ(world.notifier->posts.size(), 1u);
    EXPECT_EQ(world.notifier->posts[0].title, "Vite is keeping the CPU busy");
    EXPECT_EQ(world.notifier->posts[0].body, "95% on average for 10 minutes.");
    advance(57min);  // the first fired once the samples reached nine minutes back
    EXPECT_EQ(world.notifier->posts.size(), 1u);
    advance(2min);
    EXPECT_EQ(world.notifier->posts.size(), 2u);

    store->settings().setAlertOnHighCPU(false);
    advance(61min);
    EXPECT_EQ(world.notifier->posts.size(), 2u);
}

TEST_F(StoreTest, AnAppBusyInHalfTheSamplesAveragesHalfItsCPU) {
    make();
    for (double cpu : {2.0, 0.5, 2.0, 0.5, 2.0, 0.5}) {
        script({sampled({}, {app("node", cpu)})});
        store->refresh();
        advance(60s);
    }
    ASSERT_EQ(store->appsAveraged().size(), 1u);
    EXPECT_DOUBLE_EQ(store->appsAveraged()[0].cpuPercent, 1.0);
}

TEST_F(StoreTest, PausesThreeSecondsWhileAViewShowsAndEightOtherwise) {
    make().startPolling();
    EXPECT_EQ(samplesAfter(7.9s), 1);
    EXPECT_EQ(samplesAfter(0.1s), 2);
    store->setDashboardIsOpen(true);  // refreshes at once; the loop's pause already runs
    EXPECT_EQ(samplesAfter(0s), 3);
    EXPECT_EQ(samplesAfter(8s), 4);
    EXPECT_EQ(samplesAfter(3s), 5);
    store->setDashboardIsOpen(false);
    EXPECT_EQ(samplesAfter(3s), 6);
    EXPECT_EQ(samplesAfter(7.9s), 6);
    EXPECT_EQ(samplesAfter(0.1s), 7);
}

TEST_F(StoreTest, WithNoViewOpenOnlyNewListenersOrHalfAMinuteBringASample) {
    world.sampling->listeners = 1;
    make().startPolling();
    EXPECT_EQ(samplesAfter(8s), 2);   // the first look has no listeners to compare
    EXPECT_EQ(samplesAfter(31s), 2);  // three looks find the same
    EXPECT_EQ(samplesAfter(1s), 3);   // 32 s after the last sample
    world.sampling->listeners = 2;
    EXPECT_EQ(samplesAfter(8s), 4);
    store->setDashboardIsOpen(true);
    EXPECT_EQ(samplesAfter(0s), 5);
    EXPECT_EQ(samplesAfter(8s), 6);  // the look due meanwhile samples, as a view shows
}

TEST_F(StoreTest, AGroupStopWaitsEightTimesThenMarksTheSurvivorsStubborn) {
    auto a = devServer(11, 3000), b = devServer(12, 3001);
    script({sampled({a, b})});
    make().refresh();
    store->actions().stop({a, b}, "shop");
    EXPECT_EQ(world.control->groupStops, (std::vector<std::string>{"11:3000", "12:3001"}));
    advance(10.5s);
    EXPECT_EQ(world.sampling->calls, 8);
    EXPECT_TRUE(store->stubbornPids().empty());
    advance(1.5s);
    EXPECT_EQ(world.sampling->calls, 9);
    EXPECT_EQ(store->stubbornPids(), (std::set<std::int32_t>{11, 12}));
    EXPECT_FALSE(store->toast());
    advance(30s);
    EXPECT_EQ(world.sampling->calls, 9);

    script({sampled({b}), sampled({})});
    store->actions().stop({a, b}, "shop");
    advance(3s);
    EXPECT_EQ(store->toast(), FreedCopy::stopped("shop", DevFootprint::uniqueBytes({a, b}), {3000, 3001}));
}

TEST_F(StoreTest, SettingsFallBackToTheirDefaultsAndAreWrittenBack) {
    make();
    EXPECT_FALSE(store->settings().showSystemServers());
    EXPECT_TRUE(store->settings().notificationsEnabled());
    EXPECT_TRUE(store->settings().alertOnHeat() && store->settings().alertOnHighCPU() &&
                store->settings().alertOnMemoryGrowth());
    EXPECT_EQ(store->settings().menuBarDisplay(), ui::MenuBarDisplay::count);
    EXPECT_FALSE(store->settings().hasOnboarded());

    const std::vector<std::pair<QVariant, ui::MenuBarDisplay>> displays = {
        {QString("memory"), ui::MenuBarDisplay::memory},
        {QString("both"), ui::MenuBarDisplay::both},
        {QString("Memory"), ui::MenuBarDisplay::count},
        {QString("icons"), ui::MenuBarDisplay::count},
        {7, ui::MenuBarDisplay::count}};
    for (const auto& [stored, expected] : displays) {
        FakeWorld other;
        other.settings->values = {
            {"menuBarDisplay", stored}, {"notificationsEnabled", QString("no")}, {"hasOnboarded", true}};
        ServerStore read(other.services());
        EXPECT_EQ(read.settings().menuBarDisplay(), expected) << stored.toString().toStdString();
        EXPECT_TRUE(read.settings().notificationsEnabled());
        EXPECT_TRUE(read.settings().hasOnboarded());
    }

    // A setting that takes a new value says so once; writing the value it has says nothing.
    using Setting = ui::StoreSettings::Setting;
    std::vector<Setting> heard;
    QObject::connect(&store->settings(), &ui::StoreSettings::changed,
                     [&](Setting which) { heard.push_back(which); });
    for (int twice = 0; twice < 2; ++twice) {
        store->settings().setAlertOnHeat(false);
        store->settings().setMenuBarDisplay(ui::MenuBarDisplay::both);
    }
    EXPECT_EQ(heard, (std::vector{Setting::alertOnHeat, Setting::menuBarDisplay}));
}

TEST(StoreFirstRun, AnnouncesAnUpgradeButNotAFreshInstall) {
    // A first run is told by the settings alone, with or without a desktop to notify.
    for (bool bus : {true, false}) {
        FakeWorld first;
        first.notifier->isAvailable = bus;
        ServerStore fresh(first.services());
        fresh.startPolling();
        EXPECT_TRUE(fresh.notifications().isFreshInstall()) << bus;
        EXPECT_EQ(first.settings->values["lastRunVersion"], QVariant(QString("1.4.0"))) << bus;
        EXPECT_TRUE(first.notifier->posts.empty());

        FakeWorld second;
        second.notifier->isAvailable = bus;
        second.settings->values = first.settings->values;
        ServerStore again(second.services());
        again.startPolling();
        EXPECT_FALSE(again.notifications().isFreshInstall()) << bus;
    }

    FakeWorld upgraded;
    upgraded.settings->values["lastRunVersion"] = QString("1.3.9");
    ServerStore later(upgraded.services());
    int requests = 0;
    QObject::connect(&later, &ServerStore::dashboardRequested, [&] { ++requests; });
    later.startPolling();
    EXPECT_FALSE(later.notifications().isFreshInstall());
    ASSERT_EQ(upgraded.notifier->posts.size(), 1u);
    EXPECT_EQ(upgraded.notifier->posts[0].title, "Tarvik updated to 1.4.0");
    EXPECT_EQ(upgraded.notifier->posts[0].identifier, "updated-1.4.0");
    upgraded.notifier->clickHandler("start-1:3000");
    upgraded.notifier->clickHandler("updated-1.4.0");
    EXPECT_EQ(requests, 1);
}

TEST_F(StoreTest, MeasuresStorageAtMostEveryFiveMinutesUnlessForced) {
    StorageItem cache{"/home/ada/.npm/_cacache", "npm cache", "", 300'000'000,
                      StorageItem::Kind::regenerable()};
    world.storage->caches = {cache};
    make().checks().scanStorage(false);
    advance(299s);
    store->checks().scanStorage(false);
    EXPECT_EQ(world.storage->scans, 1);
    store->checks().scanStorage(true);
    EXPECT_EQ(world.storage->scans, 2);

    world.control->docker = "/usr/bin/docker";
    world.storage->answer = {true, "Total reclaimed space: 1.2GB", 0, std::nullopt};
    store->checks().cleanUpDocker(cache);
    EXPECT_EQ(store->toast(), "Total reclaimed space: 1.2GB");
    EXPECT_EQ(world.storage->scans, 3);
}

TEST_F(StoreTest, EndsOnlyTheUsersOwnUnprotectedProcesses) {
    world.control->owners = {{30, 1000}, {31, 0}, {4242, 1000}, {33, 1000}, {35, 65534}};
    world.control->users = {{65534, "nobody"}};
    make();
    struct Case {
        ProcessRecord process;
        bool allowed;
        std::optional<std::string> otherUser;  // whose it is when another user's
    };
    const std::vector<Case> cases = {{{30, 1, "/home/ada/bin/worker"}, true, std::nullopt},
                                     {{31, 1, "/usr/sbin/cron"}, false, std::nullopt},
                                     {{4242, 1, "/usr/bin/tarvik"}, false, std::nullopt},
                                     {{33, 1, "/usr/bin/gnome-shell"}, false, std::nullopt},
                                     {{1, 0, "/sbin/init"}, false, std::nullopt},
                                     {{34, 1, "/home/ada/bin/gone"}, false, std::nullopt},
                                     {{35, 1, "/usr/sbin/dnsmasq"}, false, "nobody"}};
    for (const auto& [process, allowed, otherUser] : cases) {
        EXPECT_EQ(store->actions().canEnd(process), allowed) << process.path;
        EXPECT_EQ(store->actions().otherUser(process.pid), otherUser) << process.path;
        const Server server{.pid = process.pid, .processName = std::string(process.name())};
        EXPECT_EQ(store->actions().canStop(server), allowed) << process.path;
    }

    EXPECT_FALSE(store->actions().end(cases[1].process, true));
    EXPECT_TRUE(store->actions().end(cases[0].process, true));
    EXPECT_EQ(world.control->sent, (std::vector<std::pair<std::int32_t, int>>{{30, SIGKILL}}));
    EXPECT_EQ(store->toast(), "Force quit worker.");
}

TEST_F(StoreTest, QuitAsksTheDesktopFirstAndLeavesSystemAppsAlone) {
    auto shop = app("Shop", 40, {50, 51});
    shop.bundlePath = "/usr/share/applications/shop.desktop";
    world.desktop->quitsApps = true;
    make().actions().quit(shop);
    EXPECT_TRUE(world.control->sent.empty());
    EXPECT_EQ(store->toast(), "Asked Shop to quit.");

    auto system = app("Shop", 40, {60});
    system.isSystem = true;
    store->actions().forceQuit(system);
    EXPECT_TRUE(world.control->sent.empty());
}

TEST_F(StoreTest, ReadsServersThroughTheirProbesAndActivity) {
    auto tool = devServer(5, 4000, 0, "Unknown tool");
    auto db = devServer(6, 5432, 0, "PostgreSQL");
    script({sampled({tool, db})});
    make().startPolling();
    EXPECT_TRUE(std::holds_alternative<ServiceProtocols::Unknown>(store->serviceProtocol(tool)));
    store->setPanelIsOpen(true);
    EXPECT_EQ(world.prober->probed, std::vector<int>{4000});
    EXPECT_TRUE(std::holds_alternative<ServiceProtocols::Http>(store->serviceProtocol(tool)));
    advance(30s);
    EXPECT_EQ(store->idleSeconds(tool), 30.0);
    EXPECT_EQ(store->idleSeconds(db), std::nullopt);
}

TEST(AppTraffic, SumsProcessesIntoTheAppsThatListThemHeaviestFirst) {
    std::vector<AppUsage> apps = {app("Firefox", 5, {10, 11}), app("Mail", 1, {20})};
    std::vector<ProcessTraffic> traffic = {
        {10, "firefox", 100, 10}, {30, "curl", 500, 0}, {11, "firefox", 50, 40}, {20, "mail", 0, 0}};
    auto rows = ui::AppTraffic::group(traffic, apps);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (ui::AppTraffic{std::nullopt, "curl", 500, 0}));
    EXPECT_EQ(rows[1].name, "Firefox");
    EXPECT_EQ(rows[1].bytesIn + rows[1].bytesOut, 200);
    EXPECT_EQ(rows[2].name, "Mail");
}

TEST_F(StoreTest, GreetsTheUserByFirstName) {
    make();
    for (const auto& [full, first] : std::vector<std::pair<std::string, std::string>>{
             {"Ada Lovelace", "Ada"}, {"James's", "James"}, {"Zoë\u2019s laptop", "Zoë"}, {"", "there"}}) {
        world.desktop->fullName = full;
        EXPECT_EQ(store->userFirstName(), first);
    }
}

}  // namespace
}  // namespace tarvik
