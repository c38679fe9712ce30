#include "ui/dashboard/MemoryPage.hpp"

#include <QCoreApplication>
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

struct MemoryText {
    Q_DECLARE_TR_FUNCTIONS(MemoryPage)
};

QString bytes(double value) {
    return qs(ByteFormat::short_(static_cast<std::uint64_t>(std::max(0.0, value))));
}

QString pressureName(MemoryPressure pressure) {
    switch (pressure) {
        case MemoryPressure::normal:
            return MemoryText::tr("Normal");
        case MemoryPressure::warning:
            return MemoryText::tr("Tight");
        case MemoryPressure::critical:
            return MemoryText::tr("Critical");
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
                       MemoryText::tr("used of %1").arg(bytes(static_cast<double>(usage.totalBytes)))};
    };
    page.facts = [](const ServerStore& shown) {
        const auto& memory = shown.vitals().memory;
        std::vector<Fact> facts{{MemoryText::tr("Pressure"), pressureName(shown.memoryPressure())}};
        facts.push_back(
            {MemoryText::tr("Swap"),
             memory ? std::optional(bytes(static_cast<double>(memory->swapUsed))) : std::nullopt});
        const auto swapOut = shown.vitals().swapOutPerSecond;
        facts.push_back({MemoryText::tr("Moving to disk"),
                         swapOut ? std::optional(qs(ByteFormat::rate(*swapOut))) : std::nullopt});
        if (memory && memory->compressed > 0)
            facts.push_back({MemoryText::tr("Compress"), bytes(static_cast<double>(memory->compressed))});
        return facts;
    };
    page.chart = {"memory",
                  {{"memory.compressed", MemoryText::tr("Compress: squeezed to make room")}},
                  bytes,
                  std::nullopt,
                  false};
    page.appsNote = MemoryText::tr("Quit to free memory");
    page.apps = heaviest;
    page.table = {AppTable::Column::memory, AppRow::Extra::none,
                  MemoryText::tr("Nothing stands out right now.")};

    auto* result = new MetricPage(store, std::move(page), parent);
    auto* extra = new QWidget(result);
    auto* layout = new QVBoxLayout(extra);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::Space::xxl);
    auto* card = new Card(extra, Card::Look::plain);
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(Theme::Space::xxl, Theme::Space::xl, Theme::Space::l, Theme::Space::l);
    cardLayout->addWidget(makeLabel(MemoryText::tr("Moving to disk"), Theme::Text::subheadline,
                                    QFont::DemiBold, Theme::Role::secondaryText, card));
    // Swapping comes in bursts, so a run of zeros is the news that it did not happen.
    auto* swapChart = new HistoryChart(
        {"memory.swapout", {}, [](double rate) { return qs(ByteFormat::rate(rate)); }, std::nullopt, true},
        card);
    swapChart->setFixedHeight(120);
    cardLayout->addWidget(swapChart);
    layout->addWidget(card);
    auto* total = makeLabel({}, Theme::Text::bodyLarge, QFont::DemiBold, Theme::Role::text, extra);
    total->setObjectName("appsTotal");
    layout->addWidget(total);
    result->setExtra(extra, [swapChart, total, &store] {
        swapChart->setHistory(store.vitalsHistory(), store.now());
        std::uint64_t sum = 0;
        const auto apps = heaviest(store);
        for (const auto& app : apps) sum += app.memoryBytes;
        const QString used = bytes(static_cast<double>(sum));
        total->setText(apps.size() == shownApps ? MemoryText::tr("These five use %1").arg(used)
                                                : MemoryText::tr("Together they use %1").arg(used));
        total->setVisible(!apps.empty());
    });
    return result;
}

}  // namespace tarvik::ui
