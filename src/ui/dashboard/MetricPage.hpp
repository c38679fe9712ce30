#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/processes/AppUsage.hpp"
#include "ui/dashboard/AppTable.hpp"
#include "ui/dashboard/HistoryChart.hpp"
#include "ui/views/DashboardSection.hpp"

class QHBoxLayout;
class QLabel;
class QVBoxLayout;

namespace tarvik::ui {

class ServerStore;

// The big number of a page, with what it measures.
struct Reading {
    QString value;
    QString caption;
};

// A line of a page's summary; the value is absent while it is unknown.
struct Fact {
    QString label;
    std::optional<QString> value;
};

// The layout the metric pages share: the verdict, the big number and facts, the last hour's chart,
// a block of the page's own, and the apps behind the reading. Each part reads the store through
// the page's description and is read again on every change of the store.
class MetricPage : public QWidget {
public:
    struct Description {
        DashboardSection section = DashboardSection::cpu;
        std::function<std::string(const ServerStore&)> sentence;
        std::function<std::optional<Reading>(const ServerStore&)> figure;  // may be empty
        std::function<std::vector<Fact>(const ServerStore&)> facts;        // may be empty
        HistoryChart::Options chart;
        QString appsTitle;
        QString appsNote;  // a line under the title; may be empty
        std::function<std::vector<AppUsage>(const ServerStore&)> apps;
        AppTable::Options table;
    };

    MetricPage(ServerStore& store, Description description, QWidget* parent);

    // A block of the page's own between the chart and the apps, refreshed with the page.
    void setExtra(QWidget* extra, std::function<void()> refresh);
    void setFilter(const QString& query) { m_table->setFilter(query); }
    void refresh();

    [[nodiscard]] HistoryChart* chart() const { return m_chart; }
    [[nodiscard]] AppTable* table() const { return m_table; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeSummary(QWidget* parent);

    ServerStore& m_store;
    Description m_description;
    QVBoxLayout* m_content;
    QLabel* m_sentence;
    QWidget* m_figureBox;
    QLabel* m_figure;
    QLabel* m_figureCaption;
    QHBoxLayout* m_facts;
    std::vector<std::pair<QLabel*, QLabel*>> m_factLabels;  // each card's label and value
    HistoryChart* m_chart;
    AppTable* m_table;
    std::function<void()> m_refreshExtra;
};

}  // namespace tarvik::ui
