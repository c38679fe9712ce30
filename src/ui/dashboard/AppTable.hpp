#pragma once

#include <QSortFilterProxyModel>
#include <QWidget>
#include <vector>

#include "core/processes/AppUsage.hpp"
#include "ui/KeyedListModel.hpp"
#include "ui/dashboard/AppRow.hpp"

class QLabel;
class QVBoxLayout;

namespace tarvik::ui {

class ServerStore;

// A list of apps that the dashboard's "Find an app" narrows: only names containing the query,
// ignoring case, stay; an empty query shows all.
class AppFilter {
public:
    virtual ~AppFilter() = default;
    virtual void setFilter(const QString& query) = 0;

    // "No app matches “query”".
    [[nodiscard]] static QString noMatch(const QString& query);
};

// Apps keyed by name, in the order they are applied; the display role is the name.
class AppUsageModel : public KeyedListModel<AppUsage> {
public:
    using KeyedListModel::KeyedListModel;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
};

// The rows of a model that "Find an app" narrows, by name and ignoring case.
class AppNameFilter : public QSortFilterProxyModel {
public:
    explicit AppNameFilter(QAbstractItemModel* source, QObject* parent);
    void setQuery(const QString& query);
    [[nodiscard]] const QString& query() const { return m_query; }

private:
    QString m_query;
};

// Apps as rows sorted by one column, largest first, narrowed by a name filter. A row's widget
// stays while its app does, and only its figures change with new data; which rows are open
// survives a refresh and the filter.
class AppTable : public QWidget, public AppFilter {
    Q_OBJECT

public:
    enum class Column { cpu, memory, gpu };
    struct Options {
        Column sort = Column::cpu;
        AppRow::Extra extra = AppRow::Extra::none;
        QString empty;  // when there are no apps at all; a general line when empty
    };

    AppTable(ServerStore& store, Options options, QWidget* parent);

    void setApps(std::vector<AppUsage> apps);
    void setFilter(const QString& query) override;

    [[nodiscard]] const std::vector<AppUsage>& apps() const { return m_model.rows(); }
    [[nodiscard]] const QAbstractItemModel& shown() const { return m_filter; }
    // The names of the rows on show, in order.
    [[nodiscard]] QStringList shownNames() const;
    // The widget of the shown row at `row`.
    [[nodiscard]] AppRow* rowWidget(int row) const;

private:
    [[nodiscard]] const AppUsage& appAt(int row) const;
    void insertRows(int first, int last);
    void removeRows(int first, int last);
    void updateRows(int first, int last);
    // Puts the widgets in the filter's order, making and dropping rows as needed.
    void arrange();
    void updateMessage();

    ServerStore& m_store;
    Options m_options;
    AppUsageModel m_model;
    AppNameFilter m_filter;
    AppRowState m_state;
    QWidget* m_header;
    QVBoxLayout* m_rows;
    QLabel* m_message;
};

}  // namespace tarvik::ui
