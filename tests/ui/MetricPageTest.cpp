#include <gtest/gtest.h>

#include <QAbstractButton>
#include <csignal>

#include "core/support/Words.hpp"
#include "ui/Fakes.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/dashboard/AppTable.hpp"
#include "ui/dashboard/HistoryChart.hpp"
#include "ui/dashboard/PageSentence.hpp"

namespace tarvik {
namespace {

using test::FakeWorld;
using ui::AppTable;
using ui::HistoryChart;
using ui::ServerStore;

using test::app;
using test::click;
using test::shownTexts;

// Without a finding of the page's kind the fallback speaks; the pages' tests show it with none at all.
TEST(PageSentenceTest, TheFirstFindingOfThePagesKindWinsOverTheFallback) {
    const Finding heat{Finding::Kind::heat, Finding::Severity::warning, "Running hot", "Fans are loud", {}};
    const Finding cpu{
        Finding::Kind::cpu, Finding::Severity::notice, "The processor is busy", "Zoom is using it", {}};
    const Finding laterCpu{Finding::Kind::cpu, Finding::Severity::critical, "Second", "ignored", {}};
    EXPECT_EQ(ui::PageSentence::of({heat, cpu, laterCpu}, Finding::Kind::cpu, "fallback"),
              "The processor is busy. Zoom is using it");
    EXPECT_EQ(ui::PageSentence::of({heat}, Finding::Kind::cpu, "fallback"), "fallback");
}

TEST(PageSentenceTest, FallbacksFollowTheMachineAndAreWordedForIt) {
    EXPECT_NE(ui::PageSentence::cpuFallback(12).find("all 12 cores"), std::string::npos);
    EXPECT_EQ(ui::PageSentence::memoryFallback(MemoryPressure::warning), "Memory is tight.");
    EXPECT_TRUE(ui::PageSentence::memoryFallback(MemoryPressure::normal).starts_with("Memory is fine."));
    if (Words::current() == Words::Platform::Linux)
        for (const auto& text : {ui::PageSentence::memoryFallback(MemoryPressure::normal),
                                 ui::PageSentence::heatFallback(), ui::PageSentence::cpuFallback(4)}) {
            EXPECT_EQ(text.find("Mac"), std::string::npos) << text;
            EXPECT_EQ(text.find("Apple"), std::string::npos) << text;
        }

    const std::pair<BatteryStatus, std::string> cases[] = {
        {{80, true, true, std::nullopt, 44.5, std::nullopt, std::nullopt}, "Charging at 45 W."},
        {{80, true, true, std::nullopt, std::nullopt, std::nullopt, std::nullopt}, "Charging."},
        {{100, false, true, std::nullopt, 0.0, std::nullopt, std::nullopt}, "Plugged in and not charging."},
        {{60, false, false, 120, 8.2, std::nullopt, std::nullopt}, "Running on battery."},
    };
    for (const auto& [battery, expected] : cases)
        EXPECT_EQ(ui::PageSentence::batteryStatus(battery), expected);
}

class MetricPageTest : public testing::Test {
protected:
    FakeWorld world;
    std::unique_ptr<ServerStore> store = std::make_unique<ServerStore>(world.services(), ui::Preview::data());
    QWidget window;
};

TEST_F(MetricPageTest, ChartWaitsForThreeReadingsThenPlotsTheLastHourDownsampled) {
    const HistoryChart::Options options{"cpu", {{"cpu.user", "User"}}, {}, 100, false};
    auto* chart = new HistoryChart(options, &window);
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
        EXPECT_LE(series.size(), static_cast<std::size_t>(HistoryChart::pointLimit));
        EXPECT_GE(series.size(), static_cast<std::size_t>(HistoryChart::pointLimit / 3));
        EXPECT_GE(series.front().at, now - std::chrono::hours(1));
        EXPECT_EQ(series.back().at, now);
    }
    EXPECT_TRUE(shownTexts(window).isEmpty());
}

TEST_F(MetricPageTest, AnEventChartWithOnlyZerosSaysNoneHappened) {
    auto* chart = new HistoryChart({"memory.swapout", {}, {}, std::nullopt, true}, &window);
    ValueHistory history(3600);
    for (int second = 40; second >= 0; second -= 8)
        history.record("memory.swapout", 0, world.clock->now() - std::chrono::seconds(second));
    chart->setHistory(history, world.clock->now());
    EXPECT_TRUE(chart->plotted().empty());
    EXPECT_EQ(shownTexts(window), QStringList{"None during this time."});
}

TEST_F(MetricPageTest, TheFilterNarrowsTheTableAndSaysWhenNothingMatches) {
    auto* table = new AppTable(*store, {}, &window);
    EXPECT_EQ(shownTexts(window), QStringList{"Nothing to show yet."});
    table->setApps({app("Mail", 3, {40}), app("Shop", 2, {41}), app("Shopify Helper", 9, {42})});
    EXPECT_EQ(table->shownNames(), QStringList({"Shopify Helper", "Mail", "Shop"}));
    table->setFilter("sHOP");
    EXPECT_EQ(table->shownNames(), QStringList({"Shopify Helper", "Shop"}));
    table->setFilter("x");
    EXPECT_TRUE(table->shownNames().isEmpty());
    EXPECT_EQ(shownTexts(window), QStringList{QString::fromUtf8("No app matches “x”")});
}

TEST_F(MetricPageTest, QuitAndForceQuitAskFirstThenSignalEveryProcess) {
    auto* table = new AppTable(*store, {}, &window);
    table->setApps({app("Shop", 5, {501, 502})});
    table->findChild<ui::AppRow*>("app:Shop")->setExpanded(true);
    click(window, "Quit Shop");
    EXPECT_TRUE(world.control->sent.empty());
    EXPECT_TRUE(shownTexts(window).contains("Quit Shop? Unsaved work may ask to be saved."));
    click(window, "Cancel");
    EXPECT_FALSE(shownTexts(window).contains("Quit Shop? Unsaved work may ask to be saved."));
    click(window, "Quit Shop");
    click(window, "confirm");
    EXPECT_EQ(world.control->sent,
              (std::vector<std::pair<std::int32_t, int>>{{501, SIGTERM}, {502, SIGTERM}}));

    world.control->sent.clear();
    click(window, "Force Quit");
    EXPECT_TRUE(shownTexts(window).contains("Force quit Shop? Unsaved work may be lost."));
    click(window, "confirm");
    EXPECT_EQ(world.control->sent,
              (std::vector<std::pair<std::int32_t, int>>{{501, SIGKILL}, {502, SIGKILL}}));
}

TEST_F(MetricPageTest, OnlyTheUsersOwnProcessesCanBeEndedOneByOne) {
    world.control->owners = {{501, 1000}, {502, 0}};
    auto* table = new AppTable(*store, {}, &window);
    table->setApps({app("Shop", 5, {501, 502, 503})});
    table->findChild<ui::AppRow*>("app:Shop")->setExpanded(true);
    EXPECT_NE(table->findChild<QAbstractButton*>("end:501"), nullptr);
    EXPECT_EQ(table->findChild<QAbstractButton*>("end:502"), nullptr);
    EXPECT_EQ(table->findChild<QAbstractButton*>("end:503"), nullptr);
    const auto texts = shownTexts(window);
    EXPECT_EQ(texts.count("Asks this one process to quit."), 1);
    EXPECT_EQ(texts.count(QString::fromStdString(Words::text("Owned by macOS, so Tarvik can't end it."))), 2);
    EXPECT_TRUE(texts.contains("Shop\npid 502"));
    click(window, "end:501");
    EXPECT_EQ(world.control->sent, (std::vector<std::pair<std::int32_t, int>>{{501, SIGTERM}}));
}

TEST_F(MetricPageTest, ProcessListsBeyondThreeFoldBehindShowAll) {
    auto* table = new AppTable(*store, {}, &window);
    table->setApps({app("Shop", 5, {501, 502, 503, 504, 505})});
    table->findChild<ui::AppRow*>("app:Shop")->setExpanded(true);
    EXPECT_TRUE(shownTexts(window).contains("5 processes"));
    EXPECT_FALSE(shownTexts(window).contains("Shop\npid 505"));
    click(window, "Show all 5");
    EXPECT_TRUE(shownTexts(window).contains("Shop\npid 505"));
    table->setApps({app("Shop", 6, {501, 502, 503, 504, 505})});  // a refresh keeps the row open
    click(window, "Show fewer");
    EXPECT_FALSE(shownTexts(window).contains("Shop\npid 505"));
    EXPECT_TRUE(shownTexts(window).contains("Show all 5"));
}

}  // namespace
}  // namespace tarvik
