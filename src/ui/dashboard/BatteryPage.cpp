#include "ui/dashboard/BatteryPage.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/ServerStore.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/PageSentence.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

struct BatteryText {
    Q_DECLARE_TR_FUNCTIONS(BatteryPage)
};

QString watts(double value) {
    return BatteryText::tr("%1 W").arg(value, 0, 'f', 0);
}

QString percent(double value) {
    return BatteryText::tr("%1%").arg(value, 0, 'f', 0);
}

QString duration(int minutes) {
    if (minutes < 60) return BatteryText::tr("%1 min").arg(minutes);
    return BatteryText::tr("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

std::string sentence(const ServerStore& store) {
    const auto& battery = store.vitals().battery;
    if (!battery)
        return QCoreApplication::translate("BatteryPage",
                                           "This computer runs on mains power and has no battery.")
            .toStdString();
    return PageSentence::of(store.findings(), Finding::Kind::battery, PageSentence::batteryStatus(*battery));
}

std::vector<Fact> facts(const ServerStore& store) {
    const auto& battery = store.vitals().battery;
    if (!battery) return {};
    std::vector<Fact> result;
    if (battery->minutesRemaining)
        result.push_back({battery->isCharging ? BatteryText::tr("Until full") : BatteryText::tr("Remaining"),
                          duration(*battery->minutesRemaining)});
    const auto& power = store.vitals().power;
    std::optional<QString> drawn;
    if (power && power->systemWatts) drawn = watts(*power->systemWatts);
    result.push_back({(BatteryText::tr("Computer is using")), drawn});
    const auto charging = power && power->chargingWatts ? power->chargingWatts : battery->watts;
    result.push_back({BatteryText::tr("Going into the battery"),
                      battery->isCharging && charging ? watts(*charging) : BatteryText::tr("Not charging")});
    if (battery->healthPercent)
        result.push_back({BatteryText::tr("Health"), percent(*battery->healthPercent)});
    return result;
}

}  // namespace

MetricPage* makeBatteryPage(ServerStore& store, QWidget* parent) {
    MetricPage::Description page;
    page.section = DashboardSection::battery;
    page.sentence = sentence;
    page.figure = [](const ServerStore& shown) -> std::optional<Reading> {
        const auto& battery = shown.vitals().battery;
        if (!battery) return std::nullopt;
        return Reading{percent(battery->percent), BatteryText::tr("Charge")};
    };
    page.facts = facts;
    page.chart = {"battery", {}, percent, 100, false};
    page.appsTitle = BatteryText::tr("Keeping the processor busy");
    page.appsNote = BatteryText::tr(
        "Linux measures power for the whole computer, not per app. The processor draws most of it, so the "
        "busiest apps cost the most battery.");
    page.apps = [](const ServerStore& shown) { return shown.vitals().apps; };
    page.table = {AppTable::Column::cpu, AppRow::Extra::none,
                  BatteryText::tr("No app is keeping the processor busy.")};

    auto* result = new MetricPage(store, std::move(page), parent);
    auto* card = new Card(result, Card::Look::plain);
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(Theme::Space::xxl, Theme::Space::xl, Theme::Space::l, Theme::Space::l);
    layout->addWidget(makeLabel(BatteryText::tr("Power"), Theme::Text::subheadline, QFont::DemiBold,
                                Theme::Role::secondaryText, card));
    auto* power = new HistoryChart({"power", {}, watts, std::nullopt, false}, card);
    layout->addWidget(power);
    auto* settings =
        new CapsuleButton(BatteryText::tr("Battery Settings…"), CapsuleButton::Style::plain, card);
    QObject::connect(settings, &QAbstractButton::clicked, result,
                     [&store] { store.actions().openBatterySettings(); });
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(settings);
    layout->addLayout(row);

    auto* content = result->chart()->parentWidget()->parentWidget();
    result->setExtra(card, [content, power, &store] {
        power->setHistory(store.vitalsHistory(), store.now());
        // Without a battery every reading is empty, so the page says only why.
        const bool hasBattery = store.vitals().battery.has_value();
        const auto* heading = content->layout()->itemAt(0)->widget();
        for (auto* child : content->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child != heading && child->objectName() != "sentence") child->setVisible(hasBattery);
    });
    return result;
}

}  // namespace tarvik::ui
