#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <csignal>

#include "core/servers/ServerGroup.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/Fakes.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/dashboard/AppTable.hpp"
#include "ui/dashboard/BatteryPage.hpp"
#include "ui/dashboard/CpuPage.hpp"
#include "ui/dashboard/DiskPage.hpp"
#include "ui/dashboard/GpuPage.hpp"
#include "ui/dashboard/HeatPage.hpp"
#include "ui/dashboard/HistoryChart.hpp"
#include "ui/dashboard/MemoryPage.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/NetworkPage.hpp"
#include "ui/dashboard/OverviewPage.hpp"
#include "ui/dashboard/PageSentence.hpp"
#include "ui/dashboard/ProjectsPage.hpp"
#include "ui/dashboard/StageStrip.hpp"
#include "ui/store/StoreChecks.hpp"

namespace tarvik {
namespace {

using test::app;
using test::click;
using test::FakeWorld;
using test::settle;
using test::shownTexts;
using ui::ServerStore;
using Signals = std::vector<std::pair<std::int32_t, int>>;

QStringList names(const std::vector<AppUsage>& apps) {
    QStringList result;
    for (const auto& app : apps) result << QString::fromStdString(app.name);
    return result;
}

AppUsage usage(std::string name, std::uint64_t memory, double gpu = 0, bool system = false) {
    AppUsage result;
    result.name = std::move(name);
    result.memoryBytes = memory;
    result.gpuPercent = gpu;
    result.isSystem = system;
    return result;
}

// The first finding of `kind`; an empty one when there is none.
Finding findingOf(const ServerStore& store, Finding::Kind kind) {
    for (const auto& finding : store.findings())
        if (finding.kind == kind) return finding;
    return {};
}

// A store behind fakes that has seen the preview machine's servers once, and a window for the page
// under test.
class DashboardPagesTest : public testing::Test {
protected:
    DashboardPagesTest() {
        SystemVitals vitals;
        vitals.cpu = CPULoad{0.23, 0.16, 0.07};
        world.sampling->script = {{ui::Preview::servers(), vitals, {11ull << 30, 16ull << 30}}};
        store->refresh();
    }
    // One more reading, ten minutes on so that the averages see only it: the last one changed.
    void resample(const std::function<void(ui::SamplingResult&)>& change) {
        ui::SamplingResult next{store->servers(), store->vitals(), store->memoryUsage(),
                                store->memoryPressure(), store->dockerVMLimit()};
        change(next);
        world.sampling->script = {next};
        world.clock->time += std::chrono::seconds(601);
        store->refresh();
        settle();
    }
    void resample(const SystemVitals& vitals) {
        resample([&](ui::SamplingResult& next) { next.vitals = vitals; });
    }
    QString sentence(const QWidget* page) { return page->findChild<QLabel*>("sentence")->text(); }
    QString figure(const QWidget* page) { return page->findChild<QLabel*>("figure")->text(); }
    void setApps(std::vector<AppUsage> apps, std::optional<double> gpu = std::nullopt) {
        SystemVitals vitals = store->vitals();
        vitals.apps = std::move(apps);
        vitals.gpu = gpu;
        resample(vitals);
    }

    FakeWorld world;
    std::unique_ptr<ServerStore> store = std::make_unique<ServerStore>(world.services());
    QWidget window;
};

TEST_F(DashboardPagesTest, CpuPageReadsTheStoreAndFollowsItsChanges) {
    auto* page = ui::makeCpuPage(*store, &window);
    EXPECT_TRUE(shownTexts(window).contains("No app has kept the processor busy this hour."));
    loadPreview(world, *store);
    settle();
    EXPECT_EQ(sentence(page).toStdString(), ui::PageSentence::cpuFallback(12));
    EXPECT_EQ(figure(page), "23%");
    EXPECT_EQ(page->findChild<ui::CoreBars*>()->groups(),
              QStringList({"Efficiency cores", "Performance cores"}));
    EXPECT_EQ(page->chart()->plotted().size(), 3u);
    EXPECT_EQ(page->table()->apps().size(), store->appsAveraged().size());

    resample([](ui::SamplingResult& next) { next.vitals.cpu = CPULoad{0.95, 0.8, 0.15}; });
    const auto busy = findingOf(*store, Finding::Kind::cpu);
    ASSERT_EQ(busy.severity, Finding::Severity::warning);
    EXPECT_EQ(sentence(page).toStdString(), busy.title + ". " + busy.detail);
}

TEST_F(DashboardPagesTest, MemoryPageShowsPressureAndTheFiveHeaviestApps) {
    loadPreview(world, *store);
    auto* page = ui::makeMemoryPage(*store, &window);
    // Without a memory finding the page falls back by pressure; a memory finding speaks first.
    ASSERT_TRUE(findingOf(*store, Finding::Kind::memory).title.empty());
    EXPECT_EQ(sentence(page).toStdString(), ui::PageSentence::memoryFallback(MemoryPressure::normal));
    EXPECT_EQ(figure(page), "11 GB");
    for (const char* text : {"used of 16 GB", "Normal", "512 MB"})
        EXPECT_TRUE(shownTexts(window).contains(text)) << text;
    // The strip's tile and the page read one figure of the vitals, whatever else a sample carries.
    resample([](ui::SamplingResult& next) {
        next.vitals.memory->available = next.vitals.memory->total - (1536ull << 20);
        next.memory = {945ull << 20, next.vitals.memory->total};
    });
    EXPECT_EQ(figure(page), "1.5 GB");
    EXPECT_EQ(ui::stageValue(ui::DashboardSection::memory, *store), "1.5 of 16 GB");

    setApps({usage("a", 1 << 20), usage("b", 6 << 20), usage("c", 2 << 20), usage("d", 5 << 20),
             usage("e", 4 << 20), usage("f", 3 << 20)});
    EXPECT_EQ(names(page->table()->apps()), QStringList({"b", "d", "e", "f", "c"}));
    EXPECT_TRUE(shownTexts(window).contains("These five use 20 MB"));
    resample([](ui::SamplingResult& next) { next.pressure = MemoryPressure::critical; });
    const auto low = findingOf(*store, Finding::Kind::memory);
    EXPECT_EQ(low.title, "Memory is very low");
    EXPECT_EQ(sentence(page).toStdString(), low.title + ". " + low.detail);
    EXPECT_TRUE(shownTexts(window).contains("Critical"));
    setApps({usage("a", 1 << 20)});
    EXPECT_TRUE(shownTexts(window).contains("Together they use 1 MB"));
    setApps({});
    EXPECT_TRUE(shownTexts(window).contains("Nothing stands out right now."));
    EXPECT_FALSE(shownTexts(window).contains("These five use 0 MB"));
}

TEST_F(DashboardPagesTest, GpuPageListsTheAppsAndCardsOnTheChipAndSaysWhenThereIsNoReading) {
    auto* page = ui::makeGpuPage(*store, &window);
    EXPECT_NE(sentence(page).toStdString(), ui::PageSentence::gpuFallback());
    EXPECT_FALSE(page->findChild<QLabel*>("figure")->isVisibleTo(&window));
    EXPECT_FALSE(page->chart()->isVisibleTo(&window));

    SystemVitals vitals;
    vitals.power = PowerTelemetry{14.3, std::nullopt, std::nullopt};
    resample(vitals);
    setApps({usage("mpv", 0, 21.5), usage("make", 0, 0), usage("Blender", 0, 40)}, 37);
    EXPECT_EQ(sentence(page).toStdString(), ui::PageSentence::gpuFallback());
    EXPECT_EQ(figure(page), "37%");
    EXPECT_TRUE(page->chart()->isVisibleTo(&window));
    EXPECT_EQ(names(page->table()->apps()), QStringList({"Blender", "mpv"}));
    for (const char* text : {"14.3 W", "40.0%", "21.5%"})
        EXPECT_TRUE(shownTexts(window).contains(text)) << text;
    setApps({usage("make", 0, 0)}, 0);
    EXPECT_TRUE(shownTexts(window).contains("No app is using it right now."));

    // The busiest card is named and every card listed.
    vitals.gpu = 85;
    vitals.gpus.resize(2);
    vitals.gpus[0] = {"NVIDIA GeForce RTX 4070", 85, 40, 3ull << 30, 12ull << 30, 61, 150.25, 200, {}};
    vitals.gpus[1].name = "NVIDIA RTX A2000";
    vitals.gpus[1].busyPercent = 20;
    vitals.gpus[1].celsius = 48;
    resample(vitals);
    const auto busy = findingOf(*store, Finding::Kind::gpu);
    EXPECT_EQ(sentence(page).toStdString(), busy.title + ". " + busy.detail);
    EXPECT_EQ(figure(page), "85%");
    for (const char* text : {"NVIDIA GeForce RTX 4070, busy now", "NVIDIA RTX A2000", "20% busy · 48 °C",
                             "85% busy · 3 GB of 12 GB memory · 61 °C · 150 W of 200 W"})
        EXPECT_TRUE(shownTexts(window).contains(QString::fromUtf8(text))) << text;

    vitals.gpu = 90;  // a card without a vendor library is busier: neither is named as the headline
    resample(vitals);
    EXPECT_FALSE(sentence(page).contains("NVIDIA"));
    EXPECT_FALSE(shownTexts(window).contains("NVIDIA GeForce RTX 4070, busy now"));
}

TEST_F(DashboardPagesTest, NetworkPageShowsRatesOverTheHourAndTheCheckedApps) {
    loadPreview(world, *store);
    auto* page = ui::makeNetworkPage(*store, &window);
    EXPECT_EQ(figure(page).toStdString(), ByteFormat::rate(1'200'000));
    EXPECT_EQ(page->chart()->plotted().size(), 1u);
    auto resolver = usage("systemd-resolved", 0, 0, true);
    resolver.pids = {930};
    resample([&](ui::SamplingResult& next) { next.vitals.apps.push_back(resolver); });
    world.network->traffic = {{930, "systemd-resolved", 300, 200}, {9001, "curl", 2048, 0}};
    click(*page, "checkNetwork");
    EXPECT_NE(page->findChild<QWidget*>("traffic:curl"), nullptr);
    const auto texts = shownTexts(window);
    EXPECT_EQ(texts.count(QString("Part of Linux")), 1);
    EXPECT_TRUE(texts.contains("Check again") && texts.contains("Checked 0s ago"));
    world.network->traffic.clear();
    click(*page, "checkNetwork");
    EXPECT_EQ(page->findChild<QWidget*>("traffic:curl"), nullptr);
    EXPECT_TRUE(shownTexts(window).contains("Nothing was using the network just now."));
}

TEST_F(DashboardPagesTest, DiskPageMeasuresThenListsCachesAndFiles) {
    auto* page = ui::makeDiskPage(*store, &window);
    EXPECT_EQ(sentence(page), "Measuring your disk.");
    EXPECT_TRUE(shownTexts(window).contains("Measuring caches. Large ones take a few seconds."));

    loadPreview(world, *store);
    settle();
    const auto texts = shownTexts(window);
    EXPECT_EQ(sentence(page), "212 GB free. Here's what's using the most space.");
    // npm, Cargo and pip are rebuilt by their tools; Docker's image is not counted as safe.
    EXPECT_TRUE(texts.contains("4.1 GB"));
    EXPECT_EQ(texts.count("Clear"), 3);
    EXPECT_FALSE(texts.filter("Belongs to Steam. Remove it from inside Steam.").isEmpty());
    EXPECT_FALSE(texts.filter("Never opened").isEmpty());

    // A cache behind a link out of the home folder is shown where it lies without a Clear button,
    // hard-linked bytes are not counted as safe, and a search for large files cut short says so.
    const auto regenerable = StorageItem::Kind::regenerable();
    StorageItem cargo{"/home/ada/.cargo/registry", "Cargo downloads", "", 3'000'000'000, regenerable};
    cargo.realPath = "/mnt/fast/registry";
    cargo.place = StorageItem::Place::outsideHome;
    StorageItem pnpm{"/home/ada/.local/share/pnpm/store", "pnpm store", "", 157'000'000, regenerable};
    pnpm.sharedBytes = 153'000'000;
    StorageItem maven{"/home/ada/.m2/repository", "Maven downloads", "", 200'000'000, regenerable};
    maven.realPath = "/home/ada/disks/m2/repository";
    world.storage->caches = {cargo, maven, pnpm};
    world.storage->files.clear();
    world.storage->filesComplete = false;
    store->checks().scanStorage(true);
    settle();
    const auto linked = shownTexts(window);
    EXPECT_EQ(linked.count("Clear"), 2);
    for (const char* text :
         {"204 MB", "Not cleared here: it lives at /mnt/fast/registry, outside your home folder.",
          "Lives at /home/ada/disks/m2/repository.",
          "153 MB of it is shared with files outside it (hard links); clearing it frees only 4 MB.",
          "The search for large files stopped at its limit before it found any."})
        EXPECT_TRUE(linked.contains(text)) << text << " in " << linked.join(" | ").toStdString();
    EXPECT_FALSE(linked.contains("No files over 500 MB."));

    world.storage->caches.clear();
    world.storage->filesComplete = true;
    store->checks().scanStorage(true);
    settle();
    EXPECT_TRUE(shownTexts(window).contains("Nothing large to clear. Your caches are small."));
    EXPECT_TRUE(shownTexts(window).contains("No files over 500 MB."));
}

TEST_F(DashboardPagesTest, ClearAndMoveToTrashAskFirstThenActAndShowInFilesReveals) {
    loadPreview(world, *store);
    auto* page = ui::makeDiskPage(*store, &window);
    click(*page, "Clear");
    EXPECT_EQ(store->checks().clearable()->size(), 4u);
    click(*page, "confirm");
    EXPECT_EQ(store->checks().clearable()->size(), 3u);
    EXPECT_EQ(store->checks().clearable()->front().title, "Docker disk image");
    EXPECT_EQ(store->toast(), "Cleared npm downloads, 2.1 GB.");
    EXPECT_TRUE(store->checks().storageBusy().empty());

    click(*page, "Move to Trash…", 1);
    click(*page, "confirm");
    ASSERT_EQ(store->checks().largeFiles()->size(), 2u);
    EXPECT_EQ(store->checks().largeFiles()->back().title, "pak01_dir.vpk");

    click(*page, QString("Show in Files"));
    click(*page, "Open Trash");
    EXPECT_EQ(world.desktop->calls,
              (std::vector<std::string>{"reveal:/home/ada/Downloads/debian-12-amd64-DVD-1.iso", "trash:"}));
}

TEST_F(DashboardPagesTest, BatteryPageWithoutABatterySaysOnlyWhy) {
    auto* page = ui::makeBatteryPage(*store, &window);
    EXPECT_EQ(shownTexts(window),
              QStringList({"Battery", "This computer runs on mains power and has no battery."}));

    SystemVitals vitals;
    vitals.battery = BatteryStatus{64, true, true, 50, 27.6, 91, 200};
    resample(vitals);
    EXPECT_EQ(sentence(page), "Charging at 28 W.");
    EXPECT_EQ(figure(page), "64%");
    EXPECT_TRUE(shownTexts(window).contains("28 W"));
    click(*page, "Battery Settings…");
    EXPECT_EQ(world.desktop->calls, std::vector<std::string>{"settings:battery"});
}

QString percentOf(double fraction) {
    return QString("%1%").arg(fraction * 100, 0, 'f', 0);
}

TEST_F(DashboardPagesTest, TheOverviewIsHeadedByTheMostSevereFindingAndNamesThePressure) {
    const std::optional<DiskSpace> full = DiskSpace{20'000'000'000, 512'000'000'000};
    const struct {
        double cpu;
        std::optional<DiskSpace> disk;
        MemoryPressure pressure;
        QString heading, memory;
    } cases[] = {{0.2, std::nullopt, MemoryPressure::normal, "All clear", "Normal"},
                 {0.2, full, MemoryPressure::normal, "Good to know", "Normal"},
                 {0.75, full, MemoryPressure::normal, "Good to know", "Normal"},
                 {0.95, full, MemoryPressure::normal, "Worth a look", "Normal"},
                 {0.2, std::nullopt, MemoryPressure::warning, "Worth a look", "Tight"},
                 {0.95, full, MemoryPressure::critical, "Needs attention now", "Critical"}};
    const auto fine = QString("Your computer is doing fine.");
    // One page follows every reading, as the open dashboard does.
    std::unique_ptr<QWidget> page(ui::makeOverviewPage(*store, &window));
    const QWidget* cpuCard = nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.heading.toStdString());
        resample([&](ui::SamplingResult& reading) {
            reading.vitals.cpu = CPULoad{c.cpu, c.cpu, 0};
            reading.vitals.disk = c.disk;
            reading.pressure = c.pressure;
        });
        EXPECT_EQ(page->findChild<QLabel*>("verdict")->text(), c.heading);
        const auto texts = shownTexts(*page);
        EXPECT_EQ(texts.contains(fine), c.heading == "All clear");
        EXPECT_TRUE(texts.contains(percentOf(c.cpu)));
        for (const auto& shown : store->findings())
            EXPECT_TRUE(shown.kind == Finding::Kind::allClear ||
                        texts.contains(QString::fromStdString(shown.title)))
                << shown.title;
        EXPECT_TRUE(shownTexts(*page->findChild<QWidget*>("vital:memory")).contains(c.memory));
        // The cards stay while the same vitals show; only their figures change.
        if (c.disk && cpuCard) {
            EXPECT_EQ(page->findChild<QWidget*>("vital:cpu"), cpuCard);
        }
        cpuCard = c.disk ? page->findChild<QWidget*>("vital:cpu") : nullptr;
    }
}

TEST_F(DashboardPagesTest, TheHeatPageShowsATemperatureOnlyWhenASensorGivesOne) {
    auto claimsTemperature = [&] {
        std::unique_ptr<QWidget> page(ui::makeHeatPage(*store, &window));
        const auto texts = shownTexts(*page).join("\n");
        return texts.contains(QString::fromUtf8("°C")) || texts.contains("Temperature normal") ||
               texts.contains("Temperature is normal");
    };
    SystemVitals vitals;
    vitals.thermal = ThermalLevel::nominal;
    resample(vitals);
    EXPECT_FALSE(claimsTemperature());
    vitals.chipCelsius = 61;
    resample(vitals);
    EXPECT_TRUE(claimsTemperature());
}

TEST_F(DashboardPagesTest, TheProjectsPageCountsTheDevServersAndAsksBeforeAStop) {
    auto groups = ServerGrouper::groups(ui::Preview::servers());
    std::erase_if(groups, [](const ServerGroup& group) { return group.isSystem(); });
    ASSERT_GE(groups.size(), 2u);
    const std::pair<std::vector<Server>, QString> counts[] = {
        {{}, "No dev servers running. Start one and it shows up here."},
        {{groups[0].servers[0]}, "1 dev server running, grouped by project."},
        {{groups[0].servers[0], groups[1].servers[0]}, "2 dev servers running, grouped by project."}};
    auto* page = ui::makeProjectsPage(*store, &window);
    for (const auto& [servers, line] : counts) {
        test::show(world, *store, servers);
        settle();
        EXPECT_EQ(page->findChild<QLabel*>("count")->text(), line);
    }

    test::show(world, *store, ui::Preview::servers());
    const auto& group = groups.front();
    const auto row = PortMerger::merge(group.servers).front();
    click(*page, QString::fromStdString("stop:" + row.id()));
    EXPECT_TRUE(world.control->actions.empty());
    click(*page, "confirm");
    EXPECT_EQ(world.control->actions, std::vector{StopActions::of(row.primary, false)});

    click(*page, QString::fromStdString("stopGroup:" + group.title));
    EXPECT_TRUE(world.control->groupStops.empty());
    click(*page, "confirm");
    std::vector<std::string> ids;
    for (const auto& server : group.servers) ids.push_back(server.id());
    EXPECT_EQ(world.control->groupStops, ids);
}

TEST(PageSentenceTest, TheFirstFindingOfThePagesKindWinsAndFallbacksAreWordedForLinux) {
    const Finding heat{Finding::Kind::heat, Finding::Severity::warning, "Running hot", "Fans are loud", {}};
    const Finding cpu{
        Finding::Kind::cpu, Finding::Severity::notice, "The processor is busy", "Zoom is using it", {}};
    const Finding laterCpu{Finding::Kind::cpu, Finding::Severity::critical, "Second", "ignored", {}};
    EXPECT_EQ(ui::PageSentence::of({heat, cpu, laterCpu}, Finding::Kind::cpu, "fallback"),
              "The processor is busy. Zoom is using it");
    EXPECT_EQ(ui::PageSentence::of({heat}, Finding::Kind::cpu, "fallback"), "fallback");
    EXPECT_NE(ui::PageSentence::cpuFallback(12).find("all 12 cores"), std::string::npos);
    EXPECT_EQ(ui::PageSentence::memoryFallback(MemoryPressure::warning), "Memory is tight.");
    EXPECT_TRUE(ui::PageSentence::memoryFallback(MemoryPressure::normal).starts_with("Memory is fine."));
    for (const auto& text : {ui::PageSentence::memoryFallback(MemoryPressure::normal),
                             ui::PageSentence::heatFallback(), ui::PageSentence::cpuFallback(4)}) {
        EXPECT_EQ(text.find("Mac"), std::string::npos) << text;
        EXPECT_EQ(text.find("Apple"), std::string::npos) << text;
    }

    const std::pair<BatteryStatus, std::string> cases[] = {
        {{80, true, true, std::nullopt, std::nullopt, std::nullopt, std::nullopt}, "Charging."},
        {{100, false, true, std::nullopt, 0.0, std::nullopt, std::nullopt}, "Plugged in and not charging."},
        {{60, false, false, 120, 8.2, std::nullopt, std::nullopt}, "Running on battery."}};
    for (const auto& [battery, expected] : cases)
        EXPECT_EQ(ui::PageSentence::batteryStatus(battery), expected);
}

TEST_F(DashboardPagesTest, ChartsWaitForThreeReadingsPlotTheLastHourDownsampledAndSayWhenNoEventHappened) {
    const ui::HistoryChart::Options options{"cpu", {{"cpu.user", "User"}}, {}, 100, false};
    auto* chart = new ui::HistoryChart(options, &window);
    const Date now = world.clock->now();
    ValueHistory history(7200);
    history.record("cpu", 10, now - std::chrono::seconds(8));
    history.record("cpu", 12, now);
    chart->setHistory(history, now);
    EXPECT_TRUE(chart->plotted().empty());
    EXPECT_TRUE(
        shownTexts(window).contains("Collecting readings. The chart fills in over the next few minutes."));

    for (int second = 7200; second >= 0; second -= 4) {
        history.record("cpu", 20, now - std::chrono::seconds(second));
        history.record("cpu.user", 15, now - std::chrono::seconds(second));
    }
    chart->setHistory(history, now);
    ASSERT_EQ(chart->plotted().size(), 2u);
    for (const auto& series : chart->plotted()) {
        EXPECT_LE(series.size(), static_cast<std::size_t>(ui::HistoryChart::pointLimit));
        EXPECT_GE(series.size(), static_cast<std::size_t>(ui::HistoryChart::pointLimit / 3));
        EXPECT_GE(series.front().at, now - std::chrono::hours(1));
        EXPECT_EQ(series.back().at, now);
    }
    EXPECT_TRUE(shownTexts(window).isEmpty());

    // An event chart with only zeros says none happened.
    QWidget other;
    auto* events = new ui::HistoryChart({"memory.swapout", {}, {}, std::nullopt, true}, &other);
    for (int second = 40; second >= 0; second -= 8)
        history.record("memory.swapout", 0, now - std::chrono::seconds(second));
    events->setHistory(history, now);
    EXPECT_TRUE(events->plotted().empty());
    EXPECT_EQ(shownTexts(other), QStringList{"None during this time."});
}

TEST_F(DashboardPagesTest, TheFilterNarrowsTheTableWhoseRowsKeepTheirWidgetsThroughUpdates) {
    auto* table = new ui::AppTable(*store, {}, &window);
    EXPECT_EQ(shownTexts(window), QStringList{"Nothing to show yet."});
    table->setApps({app("Mail", 3, {40}), app("Shop", 2, {41}), app("Shopify Helper", 9, {42})});
    EXPECT_EQ(table->shownNames(), QStringList({"Shopify Helper", "Mail", "Shop"}));
    table->setFilter(" sHOP");
    EXPECT_EQ(table->shownNames(), QStringList({"Shopify Helper", "Shop"}));
    ui::AppRow* shop = table->rowWidget(1);
    ASSERT_EQ(shop->app().name, "Shop");

    table->setApps({app("Mail", 3, {40}), app("Shop", 4, {41}), app("Shopify Helper", 9, {42})});
    EXPECT_EQ(table->rowWidget(1), shop);
    EXPECT_TRUE(shownTexts(*shop).contains("4.0%"));
    table->setApps({app("Mail", 3, {40}), app("Shop", 12, {41}), app("Shopify Helper", 9, {42})});
    EXPECT_EQ(table->shownNames(), QStringList({"Shop", "Shopify Helper"}));
    EXPECT_EQ(table->rowWidget(0), shop);

    table->setFilter("x");
    EXPECT_TRUE(table->shownNames().isEmpty());
    EXPECT_EQ(shownTexts(window), QStringList{QString::fromUtf8("No app matches “x”")});
    table->setFilter("");
    EXPECT_EQ(table->shownNames(), QStringList({"Shop", "Shopify Helper", "Mail"}));
    EXPECT_EQ(table->rowWidget(2)->app().name, "Mail");
}

TEST_F(DashboardPagesTest, QuitAndForceQuitAskFirstThenSignalEveryProcess) {
    auto* table = new ui::AppTable(*store, {}, &window);
    table->setApps({app("Shop", 5, {501, 502})});
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);  // the row opens from the keyboard
    QCoreApplication::sendEvent(table->rowWidget(0), &space);
    click(window, "Quit Shop");
    EXPECT_TRUE(world.control->sent.empty());
    EXPECT_TRUE(shownTexts(window).contains("Quit Shop? Unsaved work may ask to be saved."));
    click(window, "Cancel");
    EXPECT_FALSE(shownTexts(window).contains("Quit Shop? Unsaved work may ask to be saved."));
    click(window, "Quit Shop");
    click(window, "confirm");
    EXPECT_EQ(world.control->sent, (Signals{{501, SIGTERM}, {502, SIGTERM}}));

    world.control->sent.clear();
    click(window, "Force Quit");
    EXPECT_TRUE(shownTexts(window).contains("Force quit Shop? Unsaved work may be lost."));
    click(window, "confirm");
    EXPECT_EQ(world.control->sent, (Signals{{501, SIGKILL}, {502, SIGKILL}}));
}

TEST_F(DashboardPagesTest, OnlyTheUsersOwnProcessesCanBeEndedOneByOne) {
    world.control->owners = {{501, 1000}, {502, 0}, {504, 65534}};
    world.control->users = {{65534, "nobody"}};
    auto* table = new ui::AppTable(*store, {}, &window);
    table->setApps({app("Shop", 5, {501, 502, 503, 504})});
    table->findChild<ui::AppRow*>("app:Shop")->setExpanded(true);
    EXPECT_TRUE(shownTexts(window).contains("4 processes"));
    EXPECT_FALSE(shownTexts(window).contains("Shop\npid 504")) << "beyond three, folded";
    click(window, "Show all 4");
    EXPECT_NE(table->findChild<QAbstractButton*>("end:501"), nullptr);
    EXPECT_EQ(table->findChild<QAbstractButton*>("end:502"), nullptr);
    EXPECT_EQ(table->findChild<QAbstractButton*>("end:503"), nullptr);
    const auto texts = shownTexts(window);
    EXPECT_EQ(texts.count("Asks this one process to quit."), 1);
    EXPECT_EQ(texts.count(QString("Owned by Linux, so Tarvik can't end it.")), 2);
    EXPECT_EQ(texts.count(QString("Owned by the user nobody, so Tarvik can't end it.")), 1);
    EXPECT_TRUE(texts.contains("Shop\npid 502"));
    click(window, "end:501");
    EXPECT_EQ(world.control->sent, (Signals{{501, SIGTERM}}));
    const auto* end = table->findChild<QAbstractButton*>("end:501");
    table->setApps({app("Shop", 6, {501, 502, 503, 504})});  // a refresh keeps the row open
    EXPECT_EQ(table->findChild<QAbstractButton*>("end:501"), end) << "new figures, same details";
    click(window, "Show fewer");
    EXPECT_FALSE(shownTexts(window).contains("Shop\npid 504"));
    EXPECT_TRUE(shownTexts(window).contains("Show all 4"));
}

}  // namespace
}  // namespace tarvik
