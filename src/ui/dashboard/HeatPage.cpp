#include "ui/dashboard/HeatPage.hpp"

#include <QLabel>
#include <QVBoxLayout>
#include <variant>

#include "core/analysis/AppExplainer.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/PageSentence.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

QString celsius(double value) {
    return QString::number(value, 'f', 0) + QString::fromUtf8(" °C");
}

QString watts(const std::optional<double>& value) {
    return value ? QString::number(*value, 'f', 0) + " W" : QString();
}

struct CauseText {
    std::string title;
    std::string detail;
};

CauseText describe(const HeatCause& cause) {
    if (const auto* charging = std::get_if<HeatCauses::Charging>(&cause))
        return {charging->title(), HeatCauses::Charging::text()};
    const auto explanation = AppExplainer::explain(std::get<HeatCauses::App>(cause).usage);
    return {explanation.title, explanation.why};
}

void fillCauses(QVBoxLayout* layout, const HeatReport& heat, bool dark) {
    clearLayout(layout);
    auto* parent = layout->parentWidget();
    layout->addWidget(makeLabel("What's adding heat", 12, QFont::DemiBold, Theme::Role::text, dark, parent));
    if (heat.causes.empty())
        layout->addWidget(makeLabel("Nothing is adding much heat right now.", 9.5, QFont::Normal,
                                    Theme::Role::secondaryText, dark, parent));
    for (const auto& cause : heat.causes) {
        const auto text = describe(cause);
        layout->addWidget(makeLabel(qs(text.title), 10.5, QFont::DemiBold, Theme::Role::text, dark, parent));
        auto* detail =
            makeLabel(qs(text.detail), 9.5, QFont::Normal, Theme::Role::secondaryText, dark, parent);
        detail->setWordWrap(true);
        layout->addWidget(detail);
    }
    showItems(layout);
}

}  // namespace

MetricPage* makeHeatPage(ServerStore& store, QWidget* parent) {
    MetricPage::Description page;
    page.section = DashboardSection::heat;
    page.sentence = [](const ServerStore& shown) {
        // Without a sensor the usual reassurance would claim a temperature nobody measured.
        const auto fallback = shown.vitals().chipCelsius
                                  ? PageSentence::heatFallback()
                                  : "This computer reports no temperature, so Tarvik judges heat by "
                                    "how busy it is.";
        return PageSentence::of(shown.findings(), Finding::Kind::heat, fallback);
    };
    page.figure = [](const ServerStore& shown) -> std::optional<Reading> {
        const auto& chip = shown.vitals().chipCelsius;
        if (!chip) return std::nullopt;
        return Reading{celsius(*chip), "Chip temperature"};
    };
    page.facts = [](const ServerStore& shown) {
        const auto& heat = shown.heat();
        // A cool grade reads "Temperature normal", which a machine without a sensor cannot know.
        const bool unmeasured = heat.level == HeatLevel::cool && !shown.vitals().chipCelsius;
        std::vector<Fact> facts{{"State", unmeasured ? QString("Calm") : qs(headline(heat.level))}};
        if (heat.systemWatts) facts.push_back({"Power draw", watts(heat.systemWatts)});
        if (heat.chargingWatts) facts.push_back({"Into the battery", watts(heat.chargingWatts)});
        return facts;
    };
    page.chart = {"chip", {}, celsius, std::nullopt, false};
    page.appsTitle = "Busy for the last hour";
    page.appsNote = "The apps that keep the processor busy also warm it";
    page.apps = [](const ServerStore& shown) { return shown.appsAveraged(); };
    page.table = {AppTable::Column::cpu, AppRow::Extra::none,
                  "No app has kept the processor busy this hour."};

    auto* result = new MetricPage(store, std::move(page), parent);
    auto* card = new Card(result, Card::Look::plain);
    card->setObjectName("causes");
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(14, 10, 14, 12);
    layout->setSpacing(3);
    result->setExtra(card, [result, layout, &store] {
        fillCauses(layout, store.heat(), Theme::isDark(result));
        // A chart of a reading the machine never gives would only ever say it is collecting.
        result->chart()->parentWidget()->setVisible(store.vitals().chipCelsius.has_value());
    });
    return result;
}

}  // namespace tarvik::ui
