#include "ui/dashboard/AppTable.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

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

QLabel* heading(const QString& text, int width, QWidget* parent) {
    auto* label = makeLabel(text, Theme::Text::caption2, QFont::DemiBold, Theme::Role::secondaryText, parent);
    if (width > 0) {
        label->setFixedWidth(width);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    return label;
}

}  // namespace

QString AppFilter::noMatch(const QString& query) {
    return AppTable::tr("No app matches “%1”").arg(query);
}

QVariant AppUsageModel::data(const QModelIndex& index, int role) const {
    const AppUsage* app = rowAt(index);
    if (!app || role != Qt::DisplayRole) return {};
    return qs(app->name);
}

AppNameFilter::AppNameFilter(QAbstractItemModel* source, QObject* parent) : QSortFilterProxyModel(parent) {
    setSourceModel(source);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
}

void AppNameFilter::setQuery(const QString& query) {
    if (query.trimmed() == m_query) return;
    m_query = query.trimmed();
    setFilterFixedString(m_query);
}

AppTable::AppTable(ServerStore& store, Options options, QWidget* parent)
    : QWidget(parent),
      m_store(store),
      m_options(std::move(options)),
      m_model(this),
      m_filter(&m_model, this) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_header = new QWidget(this);
    auto* columns = new QHBoxLayout(m_header);
    columns->setContentsMargins(AppRow::nameIndent, Theme::Space::m, Theme::Space::xl, Theme::Space::xs);
    columns->setSpacing(Theme::Space::l);
    columns->addWidget(heading(tr("App"), 0, m_header), 1);
    columns->addWidget(heading(tr("CPU"), AppRow::cpuWidth, m_header));
    columns->addWidget(heading(tr("Memory"), AppRow::memoryWidth, m_header));
    if (m_options.extra == AppRow::Extra::gpu)
        columns->addWidget(heading(tr("GPU"), AppRow::extraWidth, m_header));
    layout->addWidget(m_header);

    auto* rows = new Card(this, Card::Look::list);
    m_rows = new QVBoxLayout(rows);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    layout->addWidget(rows);

    m_message = makeLabel({}, Theme::Text::subheadline, Theme::Role::secondaryText, this);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setMinimumHeight(56);
    layout->addWidget(m_message);

    connect(&m_filter, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { insertRows(first, last); });
    connect(&m_filter, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { removeRows(first, last); });
    // The filter drops its rows before the model drops the apps, so the message waits for the model.
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, &AppTable::updateMessage);
    connect(&m_filter, &QAbstractItemModel::rowsRemoved, this, &AppTable::updateMessage);
    connect(&m_filter, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) { updateRows(from.row(), to.row()); });
    connect(&m_filter, &QAbstractItemModel::rowsMoved, this, &AppTable::arrange);
    connect(&m_filter, &QAbstractItemModel::layoutChanged, this, &AppTable::arrange);
    connect(&m_filter, &QAbstractItemModel::modelReset, this, &AppTable::arrange);
    updateMessage();
}

void AppTable::setApps(std::vector<AppUsage> apps) {
    std::stable_sort(apps.begin(), apps.end(), [this](const AppUsage& left, const AppUsage& right) {
        return sortValue(left, m_options.sort) > sortValue(right, m_options.sort);
    });
    m_model.apply(std::move(apps));
}

void AppTable::setFilter(const QString& query) {
    m_filter.setQuery(query);
}

QStringList AppTable::shownNames() const {
    QStringList names;
    for (int row = 0; row < m_filter.rowCount(); ++row) names << m_filter.index(row, 0).data().toString();
    return names;
}

AppRow* AppTable::rowWidget(int row) const {
    auto* item = m_rows->itemAt(row);
    return item ? static_cast<AppRow*>(item->widget()) : nullptr;
}

const AppUsage& AppTable::appAt(int row) const {
    return m_model.rows()[static_cast<std::size_t>(m_filter.mapToSource(m_filter.index(row, 0)).row())];
}

void AppTable::insertRows(int first, int last) {
    for (int row = first; row <= last; ++row)
        m_rows->insertWidget(
            row, new AppRow(m_store, m_state, appAt(row), m_options.extra, m_rows->parentWidget()));
    showItems(m_rows);
    updateMessage();
}

void AppTable::removeRows(int first, int last) {
    for (int row = last; row >= first; --row) delete rowWidget(row);
}

void AppTable::updateRows(int first, int last) {
    for (int row = first; row <= last; ++row) rowWidget(row)->setApp(appAt(row));
}

void AppTable::arrange() {
    std::map<std::string, AppRow*> made;
    while (auto* item = m_rows->takeAt(0)) {
        auto* row = static_cast<AppRow*>(item->widget());
        made[row->app().id()] = row;
        delete item;
    }
    for (int row = 0; row < m_filter.rowCount(); ++row) {
        const AppUsage& app = appAt(row);
        auto found = made.find(app.id());
        if (found == made.end()) {
            m_rows->addWidget(new AppRow(m_store, m_state, app, m_options.extra, m_rows->parentWidget()));
            continue;
        }
        m_rows->addWidget(found->second);
        found->second->setApp(app);
        made.erase(found);
    }
    for (auto& [id, row] : made) delete row;
    showItems(m_rows);
    updateMessage();
}

void AppTable::updateMessage() {
    const int shown = m_filter.rowCount();
    m_rows->parentWidget()->setVisible(shown > 0);
    m_header->setVisible(shown > 0);
    const QString empty = m_options.empty.isEmpty() ? tr("Nothing to show yet.") : m_options.empty;
    m_message->setText(m_model.rows().empty() ? empty : shown == 0 ? noMatch(m_filter.query()) : QString());
    m_message->setVisible(shown == 0);
}

}  // namespace tarvik::ui
