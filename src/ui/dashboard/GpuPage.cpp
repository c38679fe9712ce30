#include "ui/dashboard/GpuPage.hpp"

#include <algorithm>

#include "core/support/Words.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/PageSentence.hpp"

namespace tarvik::ui {

namespace {

QString percent(double value) {
    return QString::number(value, 'f', 0) + "%";
}

}  // namespace

MetricPage* makeGpuPage(ServerStore& store, QWidget* parent) {
    MetricPage::Description page;
    page.section = DashboardSection::gpu;
    page.sentence = [](const ServerStore& shown) {
        // Some drivers report no load at all; a verdict about the chip would then be made up.
        if (!shown.vitals().gpu)
            return Words::text(
                "This Mac doesn't report how busy its graphics chip is, so there is "
                "nothing to show here.");
        return PageSentence::of(shown.findings(), Finding::Kind::gpu, PageSentence::gpuFallback());
    };
    page.figure = [](const ServerStore& shown) -> std::optional<Reading> {
        const auto& gpu = shown.vitals().gpu;
        if (!gpu) return std::nullopt;
        return Reading{percent(*gpu), "Busy now"};
    };
    page.facts = [](const ServerStore& shown) {
        std::vector<Fact> facts;
        const auto& power = shown.vitals().power;
        if (power && power->systemWatts)
            facts.push_back({"Whole machine draws", QString::asprintf("%.1f W", *power->systemWatts)});
        return facts;
    };
    page.chart = {"gpu", {}, percent, 100, false};
    page.appsTitle = "Using the graphics chip";
    page.apps = [](const ServerStore& shown) {
        std::vector<AppUsage> apps;
        std::copy_if(shown.vitals().apps.begin(), shown.vitals().apps.end(), std::back_inserter(apps),
                     [](const AppUsage& app) { return app.gpuPercent > 0; });
        return apps;
    };
    page.table = {AppTable::Column::gpu, AppRow::Extra::gpu, "No app is using it right now."};
    auto* result = new MetricPage(store, std::move(page), parent);
    // An empty chart would promise readings that never come on a machine without them.
    QWidget* chartCard = result->chart()->parentWidget();
    auto* watcher = new QWidget(result);
    result->setExtra(watcher, [chartCard, &store] { chartCard->setVisible(store.vitals().gpu.has_value()); });
    watcher->hide();
    return result;
}

}  // namespace tarvik::ui
