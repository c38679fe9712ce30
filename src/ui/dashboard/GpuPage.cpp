#include "ui/dashboard/GpuPage.hpp"

#include <QCoreApplication>
#include <algorithm>

#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ShownText.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/PageSentence.hpp"

namespace tarvik::ui {

namespace {

struct GpuText {
    Q_DECLARE_TR_FUNCTIONS(GpuPage)
};

QString percent(double value) {
    return GpuText::tr("%1%").arg(value, 0, 'f', 0);
}

// The card the headline is about, by its own name, when it gave one.
std::optional<QString> busiestName(const SystemVitals& vitals) {
    auto name = GpuDevices::nameOf(vitals.gpus, vitals.gpu);
    if (!name) return std::nullopt;
    return qs(*name);
}

// "85% busy · 3 GB of 12 GB · 61 °C · 150 W of 200 W", each reading the card gave.
QString cardSummary(const GpuDevice& card) {
    QStringList parts;
    if (card.busyPercent) parts << GpuText::tr("%1 busy").arg(percent(*card.busyPercent));
    if (card.memoryUsedBytes && card.memoryTotalBytes)
        parts << GpuText::tr("%1 of %2 memory")
                     .arg(QString::fromStdString(ByteFormat::short_(*card.memoryUsedBytes)),
                          QString::fromStdString(ByteFormat::short_(*card.memoryTotalBytes)));
    if (card.celsius) parts << GpuText::tr("%1 °C").arg(*card.celsius, 0, 'f', 0);
    if (card.watts && card.powerLimitWatts)
        parts
            << GpuText::tr("%1 W of %2 W").arg(*card.watts, 0, 'f', 0).arg(*card.powerLimitWatts, 0, 'f', 0);
    else if (card.watts)
        parts << GpuText::tr("%1 W").arg(*card.watts, 0, 'f', 0);
    return parts.join(QString::fromUtf8(" · "));
}

}  // namespace

MetricPage* makeGpuPage(ServerStore& store, QWidget* parent) {
    MetricPage::Description page;
    page.section = DashboardSection::gpu;
    page.sentence = [](const ServerStore& shown) {
        // Some drivers report no load at all; a verdict about the chip would then be made up.
        if (!shown.vitals().gpu)
            return GpuText::tr(
                       "This computer doesn't report how busy its graphics chip is, so there is "
                       "nothing to show here.")
                .toStdString();
        std::string fallback = PageSentence::gpuFallback();
        if (auto name = busiestName(shown.vitals()))
            fallback = GpuText::tr("%1 is %2 busy. ").arg(*name, percent(*shown.vitals().gpu)).toStdString() +
                       fallback;
        return PageSentence::of(shown.findings(), Finding::Kind::gpu, fallback);
    };
    page.figure = [](const ServerStore& shown) -> std::optional<Reading> {
        const auto& gpu = shown.vitals().gpu;
        if (!gpu) return std::nullopt;
        if (auto name = busiestName(shown.vitals()))
            return Reading{percent(*gpu), GpuText::tr("%1, busy now").arg(*name)};
        return Reading{percent(*gpu), GpuText::tr("Busy now")};
    };
    page.facts = [](const ServerStore& shown) {
        std::vector<Fact> facts;
        // Each card on a line of its own, so that a second card idling beside the busy one shows.
        const auto& cards = shown.vitals().gpus;
        for (std::size_t i = 0; i < cards.size(); ++i) {
            QString name =
                cards[i].name.empty() ? GpuText::tr("Graphics card %1").arg(i + 1) : qs(cards[i].name);
            QString summary = cardSummary(cards[i]);
            facts.push_back({name, summary.isEmpty() ? std::nullopt : std::optional<QString>(summary)});
        }
        const auto& power = shown.vitals().power;
        if (power && power->systemWatts)
            facts.push_back({GpuText::tr("Whole machine draws"),
                             GpuText::tr("%1 W").arg(*power->systemWatts, 0, 'f', 1)});
        return facts;
    };
    page.chart = {"gpu", {}, percent, 100, false};
    page.appsTitle = GpuText::tr("Using the graphics chip");
    page.apps = [](const ServerStore& shown) {
        std::vector<AppUsage> apps;
        std::copy_if(shown.vitals().apps.begin(), shown.vitals().apps.end(), std::back_inserter(apps),
                     [](const AppUsage& app) { return app.gpuPercent > 0; });
        return apps;
    };
    page.table = {AppTable::Column::gpu, AppRow::Extra::gpu, GpuText::tr("No app is using it right now.")};
    auto* result = new MetricPage(store, std::move(page), parent);
    // An empty chart would promise readings that never come on a machine without them.
    QWidget* chartCard = result->chart()->parentWidget();
    auto* watcher = new QWidget(result);
    result->setExtra(watcher, [chartCard, &store] { chartCard->setVisible(store.vitals().gpu.has_value()); });
    watcher->hide();
    return result;
}

}  // namespace tarvik::ui
