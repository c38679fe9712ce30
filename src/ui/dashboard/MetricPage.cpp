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
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = pageScrollArea(this);
    outer->addWidget(scroll);

    auto* content = new QWidget(scroll);
    m_content = new QVBoxLayout(content);
    m_content->setContentsMargins(Theme::Space::page, Theme::Space::huge, Theme::Space::page,
                                  Theme::Space::page);
    m_content->setSpacing(Theme::Space::xxl);
    m_content->addWidget(makeLabel(DashboardSections::titleText(m_description.section),
                                   Theme::Text::subheadline, QFont::DemiBold, Theme::Role::secondaryText,
                                   content));
    m_sentence = makeLabel({}, Theme::Text::title2, Theme::Role::text, content);
    m_sentence->setObjectName("sentence");
    m_sentence->setWordWrap(true);
    m_sentence->installEventFilter(this);
    m_content->addWidget(m_sentence);
    m_content->addWidget(makeSummary(content));

    auto* chartCard = new Card(content, Card::Look::plain);
    auto* chartLayout = new QVBoxLayout(chartCard);
    chartLayout->setContentsMargins(Theme::Space::xxl, Theme::Space::xl, Theme::Space::l, Theme::Space::l);
    m_chart = new HistoryChart(m_description.chart, chartCard);
    chartLayout->addWidget(m_chart);
    m_content->addWidget(chartCard);

    auto* apps = new QVBoxLayout;
    apps->setSpacing(Theme::Space::xxs);
    apps->setContentsMargins(0, Theme::Space::m, 0, 0);
    apps->addWidget(makeLabel(m_description.appsTitle, Theme::Text::bodyLarge, QFont::DemiBold,
                              Theme::Role::text, content));
    if (!m_description.appsNote.isEmpty()) {
        // A note longer than the page is wide would widen every card past the window's edge.
        auto* note =
            makeLabel(m_description.appsNote, Theme::Text::footnote, Theme::Role::secondaryText, content);
        note->setWordWrap(true);
        apps->addWidget(note);
    }
    m_table = new AppTable(store, m_description.table, content);
    apps->addWidget(m_table);
    m_content->addLayout(apps);
    m_content->addStretch();
    scroll->setWidget(content);

    connect(&store, &ServerStore::changed, this, &MetricPage::refresh);
    refresh();
}

QWidget* MetricPage::makeSummary(QWidget* parent) {
    auto* summary = new QWidget(parent);
    auto* layout = new QHBoxLayout(summary);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::Space::huge);
    m_figureBox = new QWidget(summary);
    auto* figure = new QVBoxLayout(m_figureBox);
    figure->setContentsMargins(0, 0, Theme::Space::s, 0);
    figure->setSpacing(0);
    m_figure = makeLabel({}, Theme::Text::largeTitle, Theme::Role::text, m_figureBox);
    m_figure->setObjectName("figure");
    m_figureCaption = makeLabel({}, Theme::Text::footnote, Theme::Role::secondaryText, m_figureBox);
    figure->addWidget(m_figure);
    figure->addWidget(m_figureCaption);
    layout->addWidget(m_figureBox);
    m_facts = new QHBoxLayout;
    m_facts->setSpacing(Theme::Space::l);
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
    m_sentence->setText(qs(m_description.sentence ? m_description.sentence(m_store) : std::string()));

    const auto reading = m_description.figure ? m_description.figure(m_store) : std::nullopt;
    m_figureBox->setVisible(reading.has_value());
    if (reading) {
        m_figure->setText(reading->value);
        m_figureCaption->setText(reading->caption);
    }

    const auto facts = m_description.facts ? m_description.facts(m_store) : std::vector<Fact>{};
    // The cards stay while their number does; only their texts change.
    if (facts.size() != m_factLabels.size()) {
        clearLayout(m_facts);
        m_factLabels.clear();
        for (std::size_t i = 0; i < facts.size(); ++i) {
            auto* card = new Card(m_facts->parentWidget(), Card::Look::plain);
            auto* layout = new QVBoxLayout(card);
            layout->setContentsMargins(Theme::Space::xl, Theme::Space::m, Theme::Space::xl, Theme::Space::m);
            layout->setSpacing(Theme::Space::xxs);
            auto* label = makeLabel({}, Theme::Text::caption, Theme::Role::secondaryText, card);
            auto* value = makeLabel({}, Theme::Text::headline, QFont::DemiBold, Theme::Role::text, card);
            layout->addWidget(label);
            layout->addWidget(value);
            m_facts->addWidget(card);
            m_factLabels.emplace_back(label, value);
        }
        m_facts->addStretch();
        showItems(m_facts);
    }
    for (std::size_t i = 0; i < facts.size(); ++i) {
        m_factLabels[i].first->setText(facts[i].label);
        m_factLabels[i].second->setText(facts[i].value.value_or(QString::fromUtf8("—")));
    }

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
