#include "ui/dashboard/MemoryPage.hpp"

#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/PageSentence.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

constexpr std::size_t shownApps = 5;

QString bytes(double value) {
    return qs(ByteFormat::short_(static_cast<std::uint64_t>(std::max(0.0, value))));
}

QString pressureName(MemoryPressure pressure) {
    switch (pressure) {
        case MemoryPressure::normal:
            return "Normal";
        case MemoryPressure::warning:
            return "Tight";
        case MemoryPressure::critical:
            return "Critical";
    }
    return {};
}

std::vector<AppUsage> heaviest(const ServerStore& store) {
    auto apps = store.vitals().apps;
    std::stable_sort(apps.begin(), apps.end(),
                     [](const AppUsage& a, const AppUsage& b) { return a.memoryBytes > b.memoryBytes; });
    if (apps.size() > shownApps) apps.resize(shownApps);
    return apps;
}

}  // namespace

MetricPage* makeMemoryPage(ServerStore& store, QWidget* parent) {
    MetricPage::Description page;
    page.section = DashboardSection::memory;
    page.sentence = [](const ServerStore& shown) {
        return PageSentence::of(shown.findings(), Finding::Kind::memory,
                                PageSentence::memoryFallback(shown.memoryPressure()));
    };
    page.figure = [](const ServerStore& shown) -> std::optional<Reading> {
        const auto& usage = shown.memoryUsage();
        if (usage.totalBytes == 0) return std::nullopt;
        return Reading{bytes(static_cast<double>(usage.usedBytes)),
                       "used of " + bytes(static_cast<double>(usage.totalBytes))};
    };
    page.facts = [](const ServerStore& shown) {
        const auto& memory = shown.vitals().memory;
        std::vector<Fact> facts{{"Pressure", pressureName(shown.memoryPressure())}};
        facts.push_back(
            {"Swap", memory ? std::optional(bytes(static_cast<double>(memory->swapUsed))) : std::nullopt});
        const auto swapOut = shown.vitals().swapOutPerSecond;
        facts.push_back(
            {"Moving to disk", swapOut ? std::optional(qs(ByteFormat::rate(*swapOut))) : std::nullopt});
        if (memory && memory->compressed > 0)
            facts.push_back({"Compress", bytes(static_cast<double>(memory->compressed))});
        return facts;
    };
    page.chart = {
        "memory", {{"memory.compressed", "Compress: squeezed to make room"}}, bytes, std::nullopt, false};
    page.appsNote = "Quit to free memory";
    page.apps = heaviest;
    page.table = {AppTable::Column::memory, AppRow::Extra::none, "Nothing stands out right now."};

    auto* result = new MetricPage(store, std::move(page), parent);
    const bool dark = Theme::isDark(parent);
    auto* extra = new QWidget(result);
    auto* layout = new QVBoxLayout(extra);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    auto* card = new Card(extra, Card::Look::plain);
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(14, 12, 10, 10);
    cardLayout->addWidget(
        makeLabel("Moving to disk", 10, QFont::DemiBold, Theme::Role::secondaryText, dark, card));
    // Swapping comes in bursts, so a run of zeros is the news that it did not happen.
    auto* swapChart = new HistoryChart(
        {"memory.swapout", {}, [](double rate) { return qs(ByteFormat::rate(rate)); }, std::nullopt, true},
        card);
    swapChart->setFixedHeight(120);
    cardLayout->addWidget(swapChart);
    layout->addWidget(card);
    auto* total = makeLabel({}, 12, QFont::DemiBold, Theme::Role::text, dark, extra);
    total->setObjectName("appsTotal");
    layout->addWidget(total);
    result->setExtra(extra, [swapChart, total, &store] {
        swapChart->setHistory(store.vitalsHistory(), store.now());
        std::uint64_t sum = 0;
        const auto apps = heaviest(store);
        for (const auto& app : apps) sum += app.memoryBytes;
        total->setText((apps.size() == shownApps ? "These five use " : "Together they use ") +
                       bytes(static_cast<double>(sum)));
        total->setVisible(!apps.empty());
    });
    return result;
}

}  // namespace tarvik::ui
