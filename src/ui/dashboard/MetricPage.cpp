#include "ui/dashboard/MetricPage.hpp"

#include <QEvent>

#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/ServerStore.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

MetricPage::MetricPage(ServerStore& store, Description description, QWidget* parent)
    : QWidget(parent), m_store(store), m_description(std::move(description)) {
    setObjectName(qs("page:" + std::string(DashboardSections::rawValue(m_description.section))));
    const bool dark = Theme::isDark(parent);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = pageScrollArea(this);
    outer->addWidget(scroll);

    auto* content = new QWidget(scroll);
    m_content = new QVBoxLayout(content);
    m_content->setContentsMargins(28, 22, 28, 28);
    m_content->setSpacing(14);
    m_content->addWidget(makeLabel(qs(DashboardSections::title(m_description.section)), 10, QFont::DemiBold,
                                   Theme::Role::secondaryText, dark, content));
    m_sentence = makeLabel({}, 17, QFont::DemiBold, Theme::Role::text, dark, content);
    m_sentence->setObjectName("sentence");
    m_sentence->setWordWrap(true);
    m_sentence->installEventFilter(this);
    m_content->addWidget(m_sentence);
    m_content->addWidget(makeSummary(dark, content));

    auto* chartCard = new Card(content, Card::Look::plain);
    auto* chartLayout = new QVBoxLayout(chartCard);
    chartLayout->setContentsMargins(14, 12, 10, 10);
    m_chart = new HistoryChart(m_description.chart, chartCard);
    chartLayout->addWidget(m_chart);
    m_content->addWidget(chartCard);

    auto* apps = new QVBoxLayout;
    apps->setSpacing(2);
    apps->setContentsMargins(0, 8, 0, 0);
    apps->addWidget(
        makeLabel(m_description.appsTitle, 12, QFont::DemiBold, Theme::Role::text, dark, content));
    if (!m_description.appsNote.isEmpty())
        apps->addWidget(
            makeLabel(m_description.appsNote, 9.5, QFont::Normal, Theme::Role::secondaryText, dark, content));
    m_table = new AppTable(store, m_description.table, content);
    apps->addWidget(m_table);
    m_content->addLayout(apps);
    m_content->addStretch();
    scroll->setWidget(content);

    connect(&store, &ServerStore::changed, this, &MetricPage::refresh);
    refresh();
}

QWidget* MetricPage::makeSummary(bool dark, QWidget* parent) {
    auto* summary = new QWidget(parent);
    auto* layout = new QHBoxLayout(summary);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);
    m_figureBox = new QWidget(summary);
    auto* figure = new QVBoxLayout(m_figureBox);
    figure->setContentsMargins(0, 0, 6, 0);
    figure->setSpacing(0);
    m_figure = makeLabel({}, 30, QFont::Bold, Theme::Role::text, dark, m_figureBox);
    m_figure->setObjectName("figure");
    m_figureCaption = makeLabel({}, 9.5, QFont::Normal, Theme::Role::secondaryText, dark, m_figureBox);
    figure->addWidget(m_figure);
    figure->addWidget(m_figureCaption);
    layout->addWidget(m_figureBox);
    m_facts = new QHBoxLayout;
    m_facts->setSpacing(10);
    layout->addLayout(m_facts, 1);
    return summary;
}

void MetricPage::setExtra(QWidget* extra, std::function<void()> refresh) {
    extra->setParent(m_content->parentWidget());
    // Between the chart card and the apps block.
    m_content->insertWidget(m_content->count() - 2, extra);
    m_refreshExtra = std::move(refresh);
    if (m_refreshExtra) m_refreshExtra();
}

void MetricPage::refresh() {
    const bool dark = Theme::isDark(this);
    m_sentence->setText(qs(m_description.sentence ? m_description.sentence(m_store) : std::string()));

    const auto reading = m_description.figure ? m_description.figure(m_store) : std::nullopt;
    m_figureBox->setVisible(reading.has_value());
    if (reading) {
        m_figure->setText(reading->value);
        m_figureCaption->setText(reading->caption);
    }

    clearLayout(m_facts);
    for (const auto& fact : m_description.facts ? m_description.facts(m_store) : std::vector<Fact>{}) {
        auto* card = new Card(m_facts->parentWidget(), Card::Look::plain);
        auto* layout = new QVBoxLayout(card);
        layout->setContentsMargins(12, 8, 12, 8);
        layout->setSpacing(2);
        layout->addWidget(makeLabel(fact.label, 9, QFont::Normal, Theme::Role::secondaryText, dark, card));
        layout->addWidget(makeLabel(fact.value.value_or(QString::fromUtf8("—")), 13, QFont::DemiBold,
                                    Theme::Role::text, dark, card));
        m_facts->addWidget(card);
    }
    m_facts->addStretch();
    showItems(m_facts);

    m_chart->setHistory(m_store.vitalsHistory(), m_store.now());
    if (m_refreshExtra) m_refreshExtra();
    m_table->setApps(m_description.apps ? m_description.apps(m_store) : std::vector<AppUsage>{});
}

bool MetricPage::eventFilter(QObject* watched, QEvent* event) {
    // The page's layout hands a wrapped sentence the height of one line when little else shows (a
    // machine without a battery); asking for the wrapped height keeps its second line.
    if (watched == m_sentence && event->type() == QEvent::Resize)
        m_sentence->setMinimumHeight(m_sentence->heightForWidth(m_sentence->width()));
    return QWidget::eventFilter(watched, event);
}

}  // namespace tarvik::ui
