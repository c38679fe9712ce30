#include "ui/dashboard/OverviewPage.hpp"

#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <variant>

#include "core/analysis/AppExplainer.hpp"
#include "core/analysis/Diagnosis.hpp"
#include "core/analysis/HeatReport.hpp"
#include "core/machine/SystemVitals.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/AppTable.hpp"
#include "ui/views/DashboardSection.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

constexpr int gridColumns = 3;
constexpr std::size_t busiestCount = 5;

struct Vital {
    const char* id;
    QString label;
    QString value;
    QString caption;
};

QString percent(double value) {
    return QString::number(value, 'f', 0) + "%";
}

QString heading(const std::vector<Finding>& findings) {
    auto severity = Finding::Severity::calm;
    for (const auto& finding : findings) severity = std::max(severity, finding.severity);
    switch (severity) {
        case Finding::Severity::critical:
            return "Needs attention now";
        case Finding::Severity::warning:
            return "Worth a look";
        case Finding::Severity::notice:
            return "Good to know";
        case Finding::Severity::calm:
            break;
    }
    return "All clear";
}

QString pressureWord(MemoryPressure pressure) {
    switch (pressure) {
        case MemoryPressure::warning:
            return "Tight";
        case MemoryPressure::critical:
            return "Critical";
        case MemoryPressure::normal:
            break;
    }
    return "Normal";
}

QString batteryState(const BatteryStatus& battery) {
    if (battery.isCharging) return "Charging";
    return battery.onPower ? "On power" : "On battery";
}

std::vector<Vital> vitals(const ServerStore& store) {
    const auto& now = store.vitals();
    const QString unknown = QString::fromUtf8("—");
    std::vector<Vital> result;
    result.push_back({"cpu", "CPU", now.cpu ? percent(now.cpu->busy * 100) : unknown, "Busy now"});
    QString memory = unknown;
    if (now.memory)
        memory = qs(ByteFormat::short_(now.memory->used()) + " of " + ByteFormat::short_(now.memory->total));
    result.push_back({"memory", "Memory", memory, pressureWord(store.memoryPressure())});
    result.push_back({"gpu", "Graphics", now.gpu ? percent(*now.gpu) : unknown, "Graphics chip"});
    if (now.disk)
        result.push_back({"disk", "Disk", qs(ByteFormat::storage(now.disk->free)),
                          qs("free of " + ByteFormat::storage(now.disk->total))});
    else
        result.push_back({"disk", "Disk", unknown, {}});
    // The full line is too wide for a tile's big number, so the download leads and the line sits under it.
    if (now.networkIn || now.networkOut)
        result.push_back({"network", "Network", qs(ByteFormat::rate(now.networkIn.value_or(0))),
                          qs("Download " + ByteFormat::rate(now.networkIn.value_or(0)) + "  ·  up " +
                             ByteFormat::rate(now.networkOut.value_or(0)))});
    else
        result.push_back({"network", "Network", unknown, {}});
    if (now.battery)
        result.push_back({"battery", "Battery", percent(now.battery->percent), batteryState(*now.battery)});
    // Only a sensor's reading can vouch for the temperature.
    if (now.chipCelsius)
        result.push_back({"temperature", "Temperature",
                          QString::number(*now.chipCelsius, 'f', 0) + QString::fromUtf8(" °C"),
                          now.thermal == ThermalLevel::nominal ? QString("Temperature normal")
                                                               : qs(headline(store.heat().level))});
    return result;
}

// The main cause's headline and the line under it; nullopt without a cause.
std::optional<std::pair<std::string, std::string>> mainCause(const HeatReport& heat) {
    if (heat.causes.empty()) return std::nullopt;
    if (const auto* charging = std::get_if<HeatCauses::Charging>(&heat.causes.front()))
        return std::pair{std::string("Fast charging is the main cause"),
                         std::to_string(std::lround(charging->watts)) + " W is going into the battery. " +
                             "Charging this fast warms the computer, mostly underneath. It's normal "
                             "and safe, and eases off once the battery is past 80%."};
    const auto explanation = AppExplainer::explain(std::get<HeatCauses::App>(heat.causes.front()).usage);
    return std::pair{explanation.title + " is the main cause", explanation.why};
}

QLabel* wrappedLabel(const QString& text, qreal points, QFont::Weight weight, Theme::Role role, bool dark,
                     QWidget* parent) {
    auto* label = makeLabel(text, points, weight, role, dark, parent);
    label->setWordWrap(true);
    return label;
}

class OverviewPage : public QWidget {
public:
    OverviewPage(ServerStore& store, QWidget* parent) : QWidget(parent), m_store(store) {
        setObjectName(qs("page:" + std::string(DashboardSections::rawValue(DashboardSection::overview))));
        const bool dark = Theme::isDark(parent);
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        auto* scroll = pageScrollArea(this);
        outer->addWidget(scroll);
        auto* content = new QWidget(scroll);
        auto* layout = new QVBoxLayout(content);
        layout->setContentsMargins(28, 22, 28, 28);
        layout->setSpacing(14);
        layout->addWidget(makeLabel(qs(DashboardSections::title(DashboardSection::overview)), 10,
                                    QFont::DemiBold, Theme::Role::secondaryText, dark, content));
        m_verdict = new QVBoxLayout;
        m_verdict->setSpacing(4);
        layout->addLayout(m_verdict);
        m_grid = new QGridLayout;
        m_grid->setSpacing(10);
        layout->addLayout(m_grid);
        m_heat = new Card(content, Card::Look::plain);
        m_heat->setObjectName("heat");
        m_heatLines = new QVBoxLayout(m_heat);
        m_heatLines->setContentsMargins(14, 10, 14, 12);
        m_heatLines->setSpacing(3);
        layout->addWidget(m_heat);
        layout->addWidget(makeLabel("Busiest apps", 12, QFont::DemiBold, Theme::Role::text, dark, content));
        m_table = new AppTable(
            store, {AppTable::Column::cpu, AppRow::Extra::none, "No app is busy right now."}, content);
        layout->addWidget(m_table);
        layout->addStretch();
        scroll->setWidget(content);

        connect(&store, &ServerStore::changed, this, &OverviewPage::refresh);
        refresh();
    }

private:
    void refresh() {
        const bool dark = Theme::isDark(this);
        fillVerdict(dark);
        fillGrid(dark);
        fillHeat(dark);
        auto apps = m_store.appsAveraged();
        std::stable_sort(apps.begin(), apps.end(),
                         [](const AppUsage& a, const AppUsage& b) { return a.cpuPercent > b.cpuPercent; });
        if (apps.size() > busiestCount) apps.resize(busiestCount);
        m_table->setApps(std::move(apps));
    }

    void fillVerdict(bool dark) {
        clearLayout(m_verdict);
        auto* parent = m_verdict->parentWidget();
        auto add = [&](const QString& text, qreal points, QFont::Weight weight, Theme::Role role) {
            m_verdict->addWidget(wrappedLabel(text, points, weight, role, dark, parent));
        };
        if (!m_store.hasScanned()) {
            add(qs("Measuring your computer."), 17, QFont::DemiBold, Theme::Role::text);
            add("Tarvik is taking its first readings.", 10, QFont::Normal, Theme::Role::secondaryText);
        } else {
            std::vector<Finding> found;
            std::copy_if(m_store.findings().begin(), m_store.findings().end(), std::back_inserter(found),
                         [](const Finding& finding) { return finding.kind != Finding::Kind::allClear; });
            auto* title = wrappedLabel(heading(found), 17, QFont::DemiBold, Theme::Role::text, dark, parent);
            title->setObjectName("verdict");
            m_verdict->addWidget(title);
            if (found.empty())
                add(qs("Your computer is doing fine."), 10, QFont::Normal, Theme::Role::secondaryText);
            for (const auto& finding : found) {
                add(qs(finding.title), 10.5, QFont::DemiBold, Theme::Role::text);
                add(qs(finding.detail), 9.5, QFont::Normal, Theme::Role::secondaryText);
            }
        }
        showItems(m_verdict);
    }

    void fillGrid(bool dark) {
        clearLayout(m_grid);
        auto* parent = m_grid->parentWidget();
        int index = 0;
        for (const auto& vital : vitals(m_store)) {
            auto* card = new Card(parent, Card::Look::plain);
            card->setObjectName(qs(std::string("vital:") + vital.id));
            auto* lines = new QVBoxLayout(card);
            lines->setContentsMargins(12, 8, 12, 10);
            lines->setSpacing(2);
            lines->addWidget(
                makeLabel(vital.label, 9, QFont::Normal, Theme::Role::secondaryText, dark, card));
            lines->addWidget(wrappedLabel(vital.value, 13, QFont::DemiBold, Theme::Role::text, dark, card));
            if (!vital.caption.isEmpty())
                lines->addWidget(
                    makeLabel(vital.caption, 9, QFont::Normal, Theme::Role::secondaryText, dark, card));
            lines->addStretch();
            m_grid->addWidget(card, index / gridColumns, index % gridColumns);
            ++index;
        }
        for (int column = 0; column < gridColumns; ++column) m_grid->setColumnStretch(column, 1);
        showItems(m_grid);
    }

    void fillHeat(bool dark) {
        clearLayout(m_heatLines);
        const auto& heat = m_store.heat();
        const auto cause = mainCause(heat);
        // A cool grade with nothing to blame has no story to tell.
        const bool told = heat.level != HeatLevel::cool || cause;
        m_heat->setVisible(told);
        if (!told) return;
        const bool unmeasured = heat.level == HeatLevel::cool && !m_store.vitals().chipCelsius;
        m_heatLines->addWidget(wrappedLabel(unmeasured ? QString("Heat") : qs(headline(heat.level)), 12,
                                            QFont::DemiBold, Theme::Role::text, dark, m_heat));
        if (cause) {
            m_heatLines->addWidget(
                wrappedLabel(qs(cause->first), 10.5, QFont::DemiBold, Theme::Role::text, dark, m_heat));
            m_heatLines->addWidget(wrappedLabel(qs(cause->second), 9.5, QFont::Normal,
                                                Theme::Role::secondaryText, dark, m_heat));
        }
        showItems(m_heatLines);
    }

    ServerStore& m_store;
    QVBoxLayout* m_verdict;
    QGridLayout* m_grid;
    Card* m_heat;
    QVBoxLayout* m_heatLines;
    AppTable* m_table;
};

}  // namespace

QWidget* makeOverviewPage(ServerStore& store, QWidget* parent) {
    return new OverviewPage(store, parent);
}

}  // namespace tarvik::ui
