#include "ui/dashboard/AppTable.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

double sortValue(const AppUsage& app, AppTable::Column column) {
    switch (column) {
        case AppTable::Column::cpu:
            return app.cpuPercent;
        case AppTable::Column::memory:
            return static_cast<double>(app.memoryBytes);
        case AppTable::Column::gpu:
            return app.gpuPercent;
    }
    return 0;
}

QLabel* heading(const QString& text, int width, bool dark, QWidget* parent) {
    auto* label = makeLabel(text, 8.5, QFont::DemiBold, Theme::Role::secondaryText, dark, parent);
    if (width > 0) {
        label->setFixedWidth(width);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    return label;
}

}  // namespace

QString AppFilter::noMatch(const QString& query) {
    return QString::fromUtf8("No app matches “") + query + QString::fromUtf8("”");
}

bool AppFilter::matches(const std::string& name, const QString& query) {
    return query.isEmpty() || QString::fromStdString(name).contains(query, Qt::CaseInsensitive);
}

AppTable::AppTable(ServerStore& store, Options options, QWidget* parent)
    : QWidget(parent), m_store(store), m_options(std::move(options)) {
    const bool dark = Theme::isDark(parent);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_header = new QWidget(this);
    auto* columns = new QHBoxLayout(m_header);
    columns->setContentsMargins(59, 8, 12, 4);
    columns->setSpacing(10);
    columns->addWidget(heading("App", 0, dark, m_header), 1);
    columns->addWidget(heading("CPU", AppRow::cpuWidth, dark, m_header));
    columns->addWidget(heading("Memory", AppRow::memoryWidth, dark, m_header));
    if (m_options.extra == AppRow::Extra::gpu)
        columns->addWidget(heading("GPU", AppRow::extraWidth, dark, m_header));
    layout->addWidget(m_header);

    auto* rows = new Card(this, Card::Look::list);
    m_rows = new QVBoxLayout(rows);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    layout->addWidget(rows);

    m_message = makeLabel({}, 10, QFont::Normal, Theme::Role::secondaryText, dark, this);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setMinimumHeight(56);
    layout->addWidget(m_message);
    rebuild();
}

void AppTable::setApps(std::vector<AppUsage> apps) {
    std::stable_sort(apps.begin(), apps.end(), [this](const AppUsage& left, const AppUsage& right) {
        return sortValue(left, m_options.sort) > sortValue(right, m_options.sort);
    });
    if (apps == m_apps) return;
    m_apps = std::move(apps);
    rebuild();
}

void AppTable::setFilter(const QString& query) {
    if (query.trimmed() == m_filter) return;
    m_filter = query.trimmed();
    rebuild();
}

QStringList AppTable::shownNames() const {
    QStringList names;
    for (const auto& app : m_apps)
        if (matches(app.name, m_filter)) names << QString::fromStdString(app.name);
    return names;
}

void AppTable::rebuild() {
    clearLayout(m_rows);
    int shown = 0;
    for (const auto& app : m_apps) {
        if (!matches(app.name, m_filter)) continue;
        m_rows->addWidget(new AppRow(m_store, m_state, app, m_options.extra, m_rows->parentWidget()));
        ++shown;
    }
    showItems(m_rows);
    m_rows->parentWidget()->setVisible(shown > 0);
    m_header->setVisible(shown > 0);
    m_message->setText(m_apps.empty() ? m_options.empty : shown == 0 ? noMatch(m_filter) : QString());
    m_message->setVisible(shown == 0);
}

}  // namespace tarvik::ui
