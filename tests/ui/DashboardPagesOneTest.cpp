#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

#include "core/support/ByteFormat.hpp"
#include "core/support/Words.hpp"
#include "ui/Fakes.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/dashboard/GpuPage.hpp"
#include "ui/dashboard/MemoryPage.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/NetworkPage.hpp"
#include "ui/dashboard/PageSentence.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik {
namespace {

using test::FakeWorld;
using ui::MetricPage;
using ui::ServerStore;

using test::shownTexts;

QStringList names(const std::vector<AppUsage>& apps) {
    QStringList result;
    for (const auto& app : apps) result << QString::fromStdString(app.name);
    return result;
}

AppUsage app(std::string name, std::uint64_t memory, double gpu = 0, bool system = false) {
    AppUsage result;
    result.name = std::move(name);
    result.memoryBytes = memory;
    result.gpuPercent = gpu;
    result.isSystem = system;
    return result;
}

class DashboardPagesOneTest : public testing::Test {
protected:
    void settle() { QCoreApplication::processEvents(); }
    QString sentence(const MetricPage* page) { return page->findChild<QLabel*>("sentence")->text(); }
    void setApps(std::vector<AppUsage> apps, std::optional<double> gpu = std::nullopt) {
        SystemVitals vitals = store->vitals();
        vitals.apps = std::move(apps);
        vitals.gpu = gpu;
        store->setPreviewVitals(std::move(vitals));
        settle();
    }

    FakeWorld world;
    std::unique_ptr<ServerStore> store = std::make_unique<ServerStore>(world.services(), ui::Preview::data());
    QWidget window;
};

TEST_F(DashboardPagesOneTest, MemoryPageShowsPressureAndTheFiveHeaviestApps) {
    ui::Preview::decorate(*store, world.clock->now());
    auto* page = ui::makeMemoryPage(*store, &window);
    // A memory finding speaks first; without one the page falls back by pressure.
    EXPECT_EQ(sentence(page).toStdString(),
              store->findings().front().title + ". " + store->findings().front().detail);
    store->setPreviewHeat(store->heat(), {});
    settle();
    EXPECT_EQ(sentence(page).toStdString(), ui::PageSentence::memoryFallback(MemoryPressure::normal));
    EXPECT_EQ(page->findChild<QLabel*>("figure")->text(), "11 GB");
    for (const char* text : {"used of 16 GB", "Pressure", "Normal", "Moving to disk", "Compress", "512 MB",
                             "Quit to free memory"})
        EXPECT_TRUE(shownTexts(window).contains(text)) << text;

    setApps({app("a", 1 << 20), app("b", 6 << 20), app("c", 2 << 20), app("d", 5 << 20), app("e", 4 << 20),
             app("f", 3 << 20)});
    EXPECT_EQ(names(page->table()->apps()), QStringList({"b", "d", "e", "f", "c"}));
    EXPECT_TRUE(shownTexts(window).contains("These five use 20 MB"));

    store->setPreviewPressure(MemoryPressure::critical);
    settle();
    EXPECT_EQ(sentence(page), "Memory is tight.");
    EXPECT_TRUE(shownTexts(window).contains("Critical"));

    page->setFilter("zzz");
    EXPECT_TRUE(shownTexts(window).contains(QString::fromUtf8("No app matches “zzz”")));
    page->setFilter({});
    setApps({app("a", 1 << 20)});
    EXPECT_TRUE(shownTexts(window).contains("Together they use 1 MB"));
    setApps({});
    EXPECT_TRUE(shownTexts(window).contains("Nothing stands out right now."));
    EXPECT_FALSE(shownTexts(window).contains("These five use 0 MB"));
}

TEST_F(DashboardPagesOneTest, GpuPageListsOnlyAppsOnTheChipAndSaysWhenThereIsNoReading) {
    auto* page = ui::makeGpuPage(*store, &window);
    EXPECT_NE(sentence(page).toStdString(), ui::PageSentence::gpuFallback());
    EXPECT_FALSE(page->findChild<QLabel*>("figure")->isVisibleTo(&window));
    EXPECT_FALSE(page->chart()->isVisibleTo(&window));

    SystemVitals vitals;
    vitals.power = PowerTelemetry{14.3, std::nullopt, std::nullopt};
    store->setPreviewVitals(vitals);
    setApps({app("mpv", 0, 21.5), app("make", 0, 0), app("Blender", 0, 40)}, 37);
    EXPECT_EQ(sentence(page).toStdString(), ui::PageSentence::gpuFallback());
    EXPECT_EQ(page->findChild<QLabel*>("figure")->text(), "37%");
    EXPECT_TRUE(page->chart()->isVisibleTo(&window));
    EXPECT_TRUE(shownTexts(window).contains("14.3 W"));
    EXPECT_TRUE(shownTexts(window).contains("Using the graphics chip"));
    EXPECT_EQ(names(page->table()->apps()), QStringList({"Blender", "mpv"}));
    for (const char* text : {"GPU", "40.0%", "21.5%"}) EXPECT_TRUE(shownTexts(window).contains(text)) << text;

    setApps({app("make", 0, 0)}, 0);
    EXPECT_TRUE(shownTexts(window).contains("No app is using it right now."));
}

TEST_F(DashboardPagesOneTest, GpuPageNamesTheBusiestCardAndListsEachCard) {
    auto* page = ui::makeGpuPage(*store, &window);
    SystemVitals vitals;
    vitals.gpu = 85;
    vitals.gpus.resize(2);
    vitals.gpus[0] = {"NVIDIA GeForce RTX 4070", 85, 40, 3ull << 30, 12ull << 30, 61, 150.25, 200, {}};
    vitals.gpus[1].name = "NVIDIA RTX A2000";
    vitals.gpus[1].busyPercent = 20;
    vitals.gpus[1].celsius = 48;
    store->setPreviewVitals(vitals);
    settle();
    EXPECT_EQ(sentence(page).toStdString(),
              "NVIDIA GeForce RTX 4070 is 85% busy. " + ui::PageSentence::gpuFallback());
    EXPECT_EQ(page->findChild<QLabel*>("figure")->text(), "85%");
    for (const char* text : {"NVIDIA GeForce RTX 4070, busy now", "NVIDIA RTX A2000", "20% busy · 48 °C",
                             "85% busy · 3 GB of 12 GB memory · 61 °C · 150 W of 200 W"})
        EXPECT_TRUE(shownTexts(window).contains(QString::fromUtf8(text))) << text;

    vitals.gpu = 90;  // a card without a vendor library is busier: neither is named as the headline
    store->setPreviewVitals(vitals);
    settle();
    EXPECT_EQ(sentence(page).toStdString(), ui::PageSentence::gpuFallback());
    EXPECT_FALSE(shownTexts(window).contains("NVIDIA GeForce RTX 4070, busy now"));
}

TEST_F(DashboardPagesOneTest, NetworkPageShowsRatesOverTheHourAndTheCheckedApps) {
    ui::Preview::decorate(*store, world.clock->now());
    auto* page = ui::makeNetworkPage(*store, &window);
    EXPECT_EQ(page->findChild<QLabel*>("figure")->text().toStdString(), ByteFormat::rate(1'200'000));
    for (const char* text : {"Upload", "Average download", "Busiest download", "Check now",
                             "Wi-Fi and Ethernet together. VPN traffic isn't counted twice.",
                             "See which apps are downloading or uploading right now. Tarvik watches for one "
                             "second when you ask, so it costs nothing the rest of the time."})
        EXPECT_TRUE(shownTexts(window).contains(text)) << text;
    EXPECT_EQ(page->chart()->plotted().size(), 1u);

    store->setPreviewNetwork({{app("systemd-resolved", 0, 0, true), "systemd-resolved", 300, 200},
                              {std::nullopt, "curl", 2048, 0}});
    settle();
    EXPECT_NE(page->findChild<QWidget*>("traffic:curl"), nullptr);
    const auto texts = shownTexts(window);
    EXPECT_EQ(texts.count(QString::fromStdString(Words::text("Part of macOS"))), 1);
    EXPECT_TRUE(texts.contains("Check again"));
    EXPECT_TRUE(texts.contains("Checked 0s ago"));
}

TEST_F(DashboardPagesOneTest, CheckNowSamplesTrafficAndSaysWhenNothingMoved) {
    FakeWorld live;
    ServerStore sampling(live.services());
    QWidget frame;
    auto* page = ui::makeNetworkPage(sampling, &frame);
    live.network->traffic = {{77, "curl", 4096, 512}};
    page->findChild<QAbstractButton*>("checkNetwork")->click();
    settle();
    EXPECT_NE(page->findChild<QWidget*>("traffic:curl"), nullptr);

    live.network->traffic.clear();
    page->findChild<QAbstractButton*>("checkNetwork")->click();
    settle();
    EXPECT_EQ(page->findChild<QWidget*>("traffic:curl"), nullptr);
    EXPECT_TRUE(shownTexts(frame).contains("Nothing was using the network just now."));
}

// Keeps pictures of the pages for people to look at.
TEST_F(DashboardPagesOneTest, RendersThePagesInBothAppearances) {
    ui::Preview::decorate(*store, world.clock->now());
    store->setPreviewNetwork({{store->vitals().apps.front(), "Firefox", 180'000, 12'000}});
    ASSERT_TRUE(QDir().mkpath(TARVIK_RENDERS));
    const QPalette before = QApplication::palette();
    for (bool dark : {false, true}) {
        QApplication::setPalette(ui::Theme::palette(dark));
        for (auto [name, make] :
             {std::pair{"memory", &ui::makeMemoryPage}, std::pair{"gpu", &ui::makeGpuPage},
              std::pair{"network", &ui::makeNetworkPage}}) {
            QWidget frame;
            frame.resize(880, 700);
            frame.setAutoFillBackground(true);
            auto* page = make(*store, &frame);
            page->resize(frame.size());
            frame.show();
            QCoreApplication::processEvents();
            const QString file =
                QString(TARVIK_RENDERS "/dashboard-%1-%2%3.png").arg(name, dark ? "dark" : "light");
            EXPECT_TRUE(frame.grab().save(file.arg("")));
            auto* scroll = page->findChild<QScrollArea*>();
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
            QCoreApplication::processEvents();
            EXPECT_TRUE(frame.grab().save(file.arg("-apps")));
        }
    }
    QApplication::setPalette(before);
}

}  // namespace
}  // namespace tarvik
