#include "ui/dashboard/HeatPage.hpp"

#include <QCoreApplication>
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

struct HeatText {
    Q_DECLARE_TR_FUNCTIONS(HeatPage)
};

QString celsius(double value) {
    return HeatText::tr("%1 °C").arg(value, 0, 'f', 0);
}

QString watts(const std::optional<double>& value) {
    return value ? HeatText::tr("%1 W").arg(*value, 0, 'f', 0) : QString();
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

void fillCauses(QVBoxLayout* layout, const HeatReport& heat) {
    clearLayout(layout);
    auto* parent = layout->parentWidget();
    layout->addWidget(makeLabel(HeatText::tr("What's adding heat"), Theme::Text::bodyLarge, QFont::DemiBold,
                                Theme::Role::text, parent));
    if (heat.causes.empty())
        layout->addWidget(makeLabel(HeatText::tr("Nothing is adding much heat right now."),
                                    Theme::Text::footnote, Theme::Role::secondaryText, parent));
    for (const auto& cause : heat.causes) {
        const auto text = describe(cause);
        layout->addWidget(
            makeLabel(qs(text.title), Theme::Text::callout, QFont::DemiBold, Theme::Role::text, parent));
        auto* detail = makeLabel(qs(text.detail), Theme::Text::footnote, Theme::Role::secondaryText, parent);
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
                                  : HeatText::tr(
                                        "This computer reports no temperature, so Tarvik judges heat by "
                                        "how busy it is.")
                                        .toStdString();
        return PageSentence::of(shown.findings(), Finding::Kind::heat, fallback);
    };
    page.figure = [](const ServerStore& shown) -> std::optional<Reading> {
        const auto& chip = shown.vitals().chipCelsius;
        if (!chip) return std::nullopt;
        return Reading{celsius(*chip), HeatText::tr("Chip temperature")};
    };
    page.facts = [](const ServerStore& shown) {
        const auto& heat = shown.heat();
        // A cool grade reads "Temperature normal", which a machine without a sensor cannot know.
        const bool unmeasured = heat.level == HeatLevel::cool && !shown.vitals().chipCelsius;
        std::vector<Fact> facts{
            {HeatText::tr("State"), unmeasured ? HeatText::tr("Calm") : qs(headline(heat.level))}};
        if (heat.systemWatts) facts.push_back({HeatText::tr("Power draw"), watts(heat.systemWatts)});
        if (heat.chargingWatts)
            facts.push_back({HeatText::tr("Into the battery"), watts(heat.chargingWatts)});
        return facts;
    };
    page.chart = {"chip", {}, celsius, std::nullopt, false};
    page.appsTitle = HeatText::tr("Busy for the last hour");
    page.appsNote = HeatText::tr("The apps that keep the processor busy also warm it");
    page.apps = [](const ServerStore& shown) { return shown.appsAveraged(); };
    page.table = {AppTable::Column::cpu, AppRow::Extra::none,
                  HeatText::tr("No app has kept the processor busy this hour.")};

    auto* result = new MetricPage(store, std::move(page), parent);
    auto* card = new Card(result, Card::Look::plain);
    card->setObjectName("causes");
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(Theme::Space::xxl, Theme::Space::l, Theme::Space::xxl, Theme::Space::xl);
    layout->setSpacing(Theme::Space::xs);
    result->setExtra(card, [result, layout, &store] {
        fillCauses(layout, store.heat());
        // A chart of a reading the machine never gives would only ever say it is collecting.
        result->chart()->parentWidget()->setVisible(store.vitals().chipCelsius.has_value());
    });
    return result;
}

}  // namespace tarvik::ui
