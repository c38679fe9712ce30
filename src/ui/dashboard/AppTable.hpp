#pragma once

#include <QWidget>
#include <vector>

#include "core/processes/AppUsage.hpp"
#include "ui/dashboard/AppRow.hpp"

class QLabel;
class QVBoxLayout;

namespace tarvik::ui {

class ServerStore;

// A list of apps that the dashboard's "Find an app" narrows: only names containing `query`,
// ignoring case, stay; an empty query shows all.
class AppFilter {
public:
    virtual ~AppFilter() = default;
    virtual void setFilter(const QString& query) = 0;

    // "No app matches “query”".
    [[nodiscard]] static QString noMatch(const QString& query);
    [[nodiscard]] static bool matches(const std::string& name, const QString& query);
};

// Apps as rows sorted by one column, largest first, narrowed by a name filter. Which rows are
// open survives new data.
class AppTable : public QWidget, public AppFilter {
public:
    enum class Column { cpu, memory, gpu };
    struct Options {
        Column sort = Column::cpu;
        AppRow::Extra extra = AppRow::Extra::none;
        QString empty = "Nothing to show yet.";  // when there are no apps at all
    };

    AppTable(ServerStore& store, Options options, QWidget* parent);

    void setApps(std::vector<AppUsage> apps);
    void setFilter(const QString& query) override;

    [[nodiscard]] const std::vector<AppUsage>& apps() const { return m_apps; }
    // The names of the rows on show, in order.
    [[nodiscard]] QStringList shownNames() const;

private:
    void rebuild();

    ServerStore& m_store;
    Options m_options;
    std::vector<AppUsage> m_apps;
    QString m_filter;
    AppRowState m_state;
    QWidget* m_header;
    QVBoxLayout* m_rows;
    QLabel* m_message;
};

}  // namespace tarvik::ui
