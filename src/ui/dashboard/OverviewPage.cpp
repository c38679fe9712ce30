#include "ui/dashboard/OverviewPage.hpp"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>
#include <variant>
#include <vector>

#include "core/analysis/AppExplainer.hpp"
#include "core/analysis/Diagnosis.hpp"
#include "core/analysis/HeatReport.hpp"
#include "core/machine/SystemVitals.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/AppTable.hpp"
#include "ui/dashboard/PageSentence.hpp"
#include "ui/views/DashboardSection.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

struct OverviewText {
    Q_DECLARE_TR_FUNCTIONS(OverviewPage)
};

constexpr int gridColumns = 3;
constexpr std::size_t busiestCount = 5;

struct Vital {
    const char* id;
    QString label;
    QString value;
    QString caption;
};

QString percent(double value) {
    return OverviewText::tr("%1%").arg(value, 0, 'f', 0);
}

QString heading(const std::vector<Finding>& findings) {
    auto severity = Finding::Severity::calm;
    for (const auto& finding : findings) severity = std::max(severity, finding.severity);
    switch (severity) {
        case Finding::Severity::critical:
            return OverviewText::tr("Needs attention now");
        case Finding::Severity::warning:
            return OverviewText::tr("Worth a look");
        case Finding::Severity::notice:
            return OverviewText::tr("Good to know");
        case Finding::Severity::calm:
            break;
    }
    return OverviewText::tr("All clear");
}

QString pressureWord(MemoryPressure pressure) {
    switch (pressure) {
        case MemoryPressure::warning:
            return OverviewText::tr("Tight");
        case MemoryPressure::critical:
            return OverviewText::tr("Critical");
        case MemoryPressure::normal:
            break;
    }
    return OverviewText::tr("Normal");
}

QString batteryState(const BatteryStatus& battery) {
    if (battery.isCharging) return OverviewText::tr("Charging");
    return battery.onPower ? OverviewText::tr("On power") : OverviewText::tr("On battery");
}

std::vector<Vital> vitals(const ServerStore& store) {
    const auto& now = store.vitals();
    const QString unknown = QString::fromUtf8("—");
    std::vector<Vital> result;
    result.push_back({"cpu", OverviewText::tr("CPU"), now.cpu ? percent(now.cpu->busy * 100) : unknown,
                      OverviewText::tr("Busy now")});
    QString memory = unknown;
    if (now.memory)
        memory =
            OverviewText::tr("%1 of %2")
                .arg(qs(ByteFormat::short_(now.memory->used())), qs(ByteFormat::short_(now.memory->total)));
    result.push_back({"memory", OverviewText::tr("Memory"), memory, pressureWord(store.memoryPressure())});
    const QString gpu = now.gpu ? percent(*now.gpu) : now.gpus.empty() ? OverviewText::tr("No GPU") : unknown;
    result.push_back({"gpu", OverviewText::tr("Graphics"), gpu, OverviewText::tr("Graphics chip")});
    if (now.disk)
        result.push_back({"disk", OverviewText::tr("Disk"), qs(ByteFormat::storage(now.disk->free)),
                          OverviewText::tr("free of %1").arg(qs(ByteFormat::storage(now.disk->total)))});
    else
        result.push_back({"disk", OverviewText::tr("Disk"), unknown, {}});
    // The full line is too wide for a tile's big number, so the download leads and the line sits under it.
    if (now.networkIn || now.networkOut)
        result.push_back({"network", OverviewText::tr("Network"),
                          qs(ByteFormat::rate(now.networkIn.value_or(0))),
                          OverviewText::tr("Download %1  ·  up %2")
                              .arg(qs(ByteFormat::rate(now.networkIn.value_or(0))),
                                   qs(ByteFormat::rate(now.networkOut.value_or(0))))});
    else
        result.push_back({"network", OverviewText::tr("Network"), unknown, {}});
    if (now.battery)
        result.push_back({"battery", OverviewText::tr("Battery"), percent(now.battery->percent),
                          batteryState(*now.battery)});
    // Only a sensor's reading can vouch for the temperature.
    if (now.chipCelsius)
        result.push_back({"temperature", OverviewText::tr("Temperature"),
                          OverviewText::tr("%1 °C").arg(*now.chipCelsius, 0, 'f', 0),
                          now.thermal == ThermalLevel::nominal ? OverviewText::tr("Temperature normal")
                                                               : qs(headline(store.heat().level))});
    return result;
}

// The main cause's headline and the line under it; nullopt without a cause.
std::optional<std::pair<QString, QString>> mainCause(const HeatReport& heat) {
    if (heat.causes.empty()) return std::nullopt;
    if (const auto* charging = std::get_if<HeatCauses::Charging>(&heat.causes.front()))
        return std::pair{
            OverviewText::tr("Fast charging is the main cause"),
            OverviewText::tr("%1 W is going into the battery. ").arg(std::lround(charging->watts)) +
                (OverviewText::tr("Charging this fast warms the computer, mostly underneath. It's normal "
                                  "and safe, and eases off once the battery is past 80%."))};
    const auto explanation = AppExplainer::explain(std::get<HeatCauses::App>(heat.causes.front()).usage);
    return std::pair{OverviewText::tr("%1 is the main cause").arg(qs(explanation.title)),
                     qs(explanation.why)};
}

QLabel* wrapped(QLabel* label) {
    label->setWordWrap(true);
    return label;
}

struct Line {
    QString text;
    Theme::Text style;
    QFont::Weight weight = QFont::Normal;
    Theme::Role role = Theme::Role::text;
    const char* name = "";

    [[nodiscard]] bool looksLike(const Line& other) const {
        return style == other.style && weight == other.weight && role == other.role &&
               std::string_view(name) == other.name;
    }
};

// A column of wrapped labels whose widgets stay while their looks do; only their texts change.
struct WrappedLines {
    QVBoxLayout* layout = nullptr;
    std::vector<Line> shown;
    std::vector<QLabel*> labels;

    void show(const std::vector<Line>& lines) {
        const bool same = std::equal(lines.begin(), lines.end(), shown.begin(), shown.end(),
                                     [](const Line& a, const Line& b) { return a.looksLike(b); });
        if (!same) {
            clearLayout(layout);
            labels.clear();
            for (const auto& line : lines) {
                auto* label =
                    wrapped(makeLabel({}, line.style, line.weight, line.role, layout->parentWidget()));
                label->setObjectName(QString::fromLatin1(line.name));
                layout->addWidget(label);
                labels.push_back(label);
            }
            showItems(layout);
        }
        for (std::size_t i = 0; i < lines.size(); ++i) labels[i]->setText(lines[i].text);
        shown = lines;
    }
};

class OverviewPage : public QWidget {
public:
    OverviewPage(ServerStore& store, QWidget* parent) : QWidget(parent), m_store(store) {
        setObjectName(qs("page:" + std::string(DashboardSections::rawValue(DashboardSection::overview))));
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        auto* scroll = pageScrollArea(this);
        outer->addWidget(scroll);
        auto* content = new QWidget(scroll);
        auto* layout = new QVBoxLayout(content);
        layout->setContentsMargins(Theme::Space::page, Theme::Space::huge, Theme::Space::page,
                                   Theme::Space::page);
        layout->setSpacing(Theme::Space::xxl);
        layout->addWidget(makeLabel(DashboardSections::titleText(DashboardSection::overview),
                                    Theme::Text::subheadline, QFont::DemiBold, Theme::Role::secondaryText,
                                    content));
        auto* verdict = new QVBoxLayout;
        verdict->setSpacing(Theme::Space::xs);
        layout->addLayout(verdict);
        m_verdict.layout = verdict;
        m_grid = new QGridLayout;
        m_grid->setSpacing(Theme::Space::l);
        layout->addLayout(m_grid);
        m_heat = new Card(content, Card::Look::plain);
        m_heat->setObjectName("heat");
        auto* heatLines = new QVBoxLayout(m_heat);
        heatLines->setContentsMargins(Theme::Space::xxl, Theme::Space::l, Theme::Space::xxl,
                                      Theme::Space::xl);
        heatLines->setSpacing(Theme::Space::xs);
        m_heatLines.layout = heatLines;
        layout->addWidget(m_heat);
        layout->addWidget(makeLabel(OverviewText::tr("Busiest apps"), Theme::Text::bodyLarge, QFont::DemiBold,
                                    Theme::Role::text, content));
        m_table = new AppTable(
            store,
            {AppTable::Column::cpu, AppRow::Extra::none, OverviewText::tr("No app is busy right now.")},
            content);
        layout->addWidget(m_table);
        layout->addStretch();
        scroll->setWidget(content);

        connect(&store, &ServerStore::changed, this, &OverviewPage::refresh);
        refresh();
    }

private:
    void refresh() {
        fillVerdict();
        fillGrid();
        fillHeat();
        auto apps = m_store.appsAveraged();
        std::stable_sort(apps.begin(), apps.end(),
                         [](const AppUsage& a, const AppUsage& b) { return a.cpuPercent > b.cpuPercent; });
        if (apps.size() > busiestCount) apps.resize(busiestCount);
        m_table->setApps(std::move(apps));
    }

    void fillVerdict() {
        std::vector<Line> lines;
        if (!m_store.hasScanned()) {
            lines.push_back({OverviewText::tr("Measuring your computer."), Theme::Text::title2});
            lines.push_back({OverviewText::tr("Tarvik is taking its first readings."),
                             Theme::Text::subheadline, QFont::Normal, Theme::Role::secondaryText});
        } else {
            std::vector<Finding> found;
            std::copy_if(m_store.findings().begin(), m_store.findings().end(), std::back_inserter(found),
                         [](const Finding& finding) { return finding.kind != Finding::Kind::allClear; });
            lines.push_back(
                {heading(found), Theme::Text::title2, QFont::Normal, Theme::Role::text, "verdict"});
            if (found.empty())
                lines.push_back({OverviewText::tr("Your computer is doing fine."), Theme::Text::subheadline,
                                 QFont::Normal, Theme::Role::secondaryText});
            for (const auto& finding : found) {
                lines.push_back({qs(finding.title), Theme::Text::callout, QFont::DemiBold});
                lines.push_back(
                    {qs(finding.detail), Theme::Text::footnote, QFont::Normal, Theme::Role::secondaryText});
            }
        }
        m_verdict.show(lines);
    }

    void fillGrid() {
        const auto shown = vitals(m_store);
        // A refresh every few seconds changes the figures, rarely the cards: rebuilding them each time
        // cost more than the sampling did.
        const bool same =
            std::equal(shown.begin(), shown.end(), m_cards.begin(), m_cards.end(),
                       [](const Vital& vital, const VitalCard& card) {
                           return vital.id == card.id && vital.caption.isEmpty() == !card.caption;
                       });
        if (!same) buildGrid(shown);
        for (std::size_t i = 0; i < shown.size(); ++i) {
            m_cards[i].label->setText(shown[i].label);
            m_cards[i].value->setText(shown[i].value);
            if (m_cards[i].caption) m_cards[i].caption->setText(shown[i].caption);
        }
    }

    void buildGrid(const std::vector<Vital>& shown) {
        clearLayout(m_grid);
        m_cards.clear();
        auto* parent = m_grid->parentWidget();
        int index = 0;
        for (const auto& vital : shown) {
            auto* card = new Card(parent, Card::Look::plain);
            card->setObjectName(qs(std::string("vital:") + vital.id));
            auto* lines = new QVBoxLayout(card);
            lines->setContentsMargins(Theme::Space::xl, Theme::Space::m, Theme::Space::xl, Theme::Space::l);
            lines->setSpacing(Theme::Space::xxs);
            VitalCard made{
                vital.id, makeLabel({}, Theme::Text::caption, Theme::Role::secondaryText, card),
                wrapped(makeLabel({}, Theme::Text::headline, QFont::DemiBold, Theme::Role::text, card)),
                nullptr};
            lines->addWidget(made.label);
            lines->addWidget(made.value);
            if (!vital.caption.isEmpty()) {
                made.caption = makeLabel({}, Theme::Text::caption, Theme::Role::secondaryText, card);
                lines->addWidget(made.caption);
            }
            lines->addStretch();
            m_grid->addWidget(card, index / gridColumns, index % gridColumns);
            m_cards.push_back(made);
            ++index;
        }
        for (int column = 0; column < gridColumns; ++column) m_grid->setColumnStretch(column, 1);
        showItems(m_grid);
    }

    void fillHeat() {
        const auto& heat = m_store.heat();
        const auto cause = mainCause(heat);
        // A cool grade with nothing to blame has no story to tell.
        const bool told = heat.level != HeatLevel::cool || cause;
        m_heat->setVisible(told);
        if (!told) return;
        const bool unmeasured = heat.level == HeatLevel::cool && !m_store.vitals().chipCelsius;
        std::vector<Line> lines{{unmeasured ? OverviewText::tr("Heat") : qs(headline(heat.level)),
                                 Theme::Text::bodyLarge, QFont::DemiBold}};
        if (cause) {
            lines.push_back({cause->first, Theme::Text::callout, QFont::DemiBold});
            lines.push_back(
                {cause->second, Theme::Text::footnote, QFont::Normal, Theme::Role::secondaryText});
        }
        m_heatLines.show(lines);
    }

    struct VitalCard {
        const char* id;
        QLabel* label;
        QLabel* value;
        QLabel* caption;  // null where the vital has none
    };

    ServerStore& m_store;
    WrappedLines m_verdict;
    QGridLayout* m_grid;
    std::vector<VitalCard> m_cards;
    Card* m_heat;
    WrappedLines m_heatLines;
    AppTable* m_table;
};

}  // namespace

QWidget* makeOverviewPage(ServerStore& store, QWidget* parent) {
    return new OverviewPage(store, parent);
}

}  // namespace tarvik::ui
