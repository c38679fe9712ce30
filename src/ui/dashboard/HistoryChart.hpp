#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/MetricHistory.hpp"

class QLabel;

namespace tarvik::ui {

// One `vitalsHistory` series over the last hour, optionally with parts of it stacked beneath
// ("cpu" over "cpu.user" and "cpu.system"). Hovering shows the time and value of the nearest reading.
class HistoryChart : public QWidget {
    Q_OBJECT

public:
    struct Part {
        std::string key;
        QString name;
    };
    struct Options {
        std::string key;
        std::vector<Part> parts;  // drawn stacked under the series, in order from the bottom
        std::function<QString(double)> format;
        std::optional<double> ceiling;  // the top of the scale; else from the largest value
        bool events = false;            // counts things that happened: all zeros means none happened
    };

    // A labelled value on the scale.
    struct Tick {
        double value;
        QString text;
        bool operator==(const Tick&) const = default;
    };

    static constexpr int pointLimit = 240;
    static constexpr double span = 3600;  // seconds shown

    HistoryChart(Options options, QWidget* parent);

    // Reads the series from `history` as of `now`.
    void setHistory(const ValueHistory& history, Date now);

    // What is drawn: the series first, then its parts; at most `pointLimit` points each, all within
    // the last hour. Empty while there are too few readings.
    [[nodiscard]] const std::vector<std::vector<ValueHistory::Point>>& plotted() const { return m_plotted; }

    // The labels of a scale from 0 to `top`: at every quarter when their texts all differ, else at
    // every half, else at 0 and the top, else at 0 alone; never the same text twice.
    [[nodiscard]] static std::vector<Tick> ticks(double top, const std::function<QString(double)>& format);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    [[nodiscard]] QRectF plotArea() const;
    [[nodiscard]] QPointF place(const ValueHistory::Point& point, const QRectF& area) const;
    void paintLegend(QPainter& painter) const;
    void paintReadout(QPainter& painter, const QRectF& area) const;

    Options m_options;
    std::vector<std::vector<ValueHistory::Point>> m_plotted;
    Date m_now;
    double m_top = 1;
    std::vector<Tick> m_ticks;
    int m_gutter = 0;                      // right of the plot, as wide as the widest tick label
    std::optional<std::size_t> m_hovered;  // index into the series
    QLabel* m_message;
};

}  // namespace tarvik::ui
