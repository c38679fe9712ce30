#include "ui/dashboard/HistoryChart.hpp"

#include <QDateTime>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

constexpr int minimumPoints = 3;
constexpr int gridLines = 4;
constexpr int tickGap = 6;  // between the plot and a tick label

QFont tickFont() {
    return Theme::font(Theme::Text::caption2);
}

QColor partColour(std::size_t index, const QWidget* widget) {
    return Theme::color(index == 0 ? Theme::Role::accent : Theme::Role::orange, widget);
}

// A round top for the scale: 1, 2 or 5 times a power of ten at or above `value`.
double niceCeiling(double value) {
    if (value <= 0) return 1;
    const double magnitude = std::pow(10, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * magnitude >= value) return step * magnitude;
    return 10 * magnitude;
}

QString clockTime(Date at) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString("HH:mm:ss");
}

}  // namespace

HistoryChart::HistoryChart(Options options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)), m_message(new QLabel(this)) {
    setMouseTracking(true);
    setMinimumHeight(190);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, Theme::Space::section, 0, Theme::Space::huge);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setFont(Theme::font(Theme::Text::subheadline));
    Theme::setForeground(m_message, Theme::Role::secondaryText);
    layout->addWidget(m_message);
}

void HistoryChart::setHistory(const ValueHistory& history, Date now) {
    m_now = now;
    m_plotted.clear();
    m_hovered.reset();
    const Date start = now - std::chrono::seconds(static_cast<int>(span));
    auto recent = [&](const std::string& key) {
        auto points = history.points(key, pointLimit);
        std::erase_if(points, [&](const ValueHistory::Point& point) { return point.at < start; });
        return points;
    };
    auto series = recent(m_options.key);
    const bool enough = series.size() >= minimumPoints;
    const bool none =
        enough && m_options.events &&
        std::all_of(series.begin(), series.end(), [](const auto& point) { return point.value == 0; });
    if (enough && !none) {
        m_plotted.push_back(std::move(series));
        for (const auto& part : m_options.parts) m_plotted.push_back(recent(part.key));
        double largest = 0;
        for (const auto& point : m_plotted.front()) largest = std::max(largest, point.value);
        m_top = m_options.ceiling.value_or(niceCeiling(largest * 1.1));
    }
    m_ticks = m_plotted.empty() || !m_options.format ? std::vector<Tick>{} : ticks(m_top, m_options.format);
    const QFontMetrics metrics(tickFont());
    int widest = 0;
    for (const auto& tick : m_ticks) widest = std::max(widest, metrics.horizontalAdvance(tick.text));
    m_gutter = widest > 0 ? tickGap + widest + Theme::Space::xxs : Theme::Space::xs;
    m_message->setText(!enough ? tr("Collecting readings. The chart fills in over the next few minutes.")
                       : none  ? tr("None during this time.")
                               : QString());
    m_message->setVisible(!m_message->text().isEmpty());
    update();
}

std::vector<HistoryChart::Tick> HistoryChart::ticks(double top,
                                                    const std::function<QString(double)>& format) {
    for (int divisions : {gridLines, 2, 1}) {
        std::vector<Tick> result;
        QStringList texts;
        for (int step = 0; step <= divisions; ++step) {
            const double value = top * step / divisions;
            result.push_back({value, format(value)});
            texts << result.back().text;
        }
        texts.removeDuplicates();
        if (texts.size() == static_cast<qsizetype>(result.size())) return result;
    }
    return {{0, format(0)}};
}

QRectF HistoryChart::plotArea() const {
    return QRectF(rect()).adjusted(4, 28, -m_gutter, -22);
}

QPointF HistoryChart::place(const ValueHistory::Point& point, const QRectF& area) const {
    const double age = std::chrono::duration<double>(m_now - point.at).count();
    const double x = area.right() - area.width() * std::clamp(age / span, 0.0, 1.0);
    const double y = area.bottom() - area.height() * std::clamp(point.value / m_top, 0.0, 1.0);
    return {x, y};
}

void HistoryChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor secondary = Theme::color(Theme::Role::secondaryText, this);
    painter.setPen(secondary);
    painter.setFont(Theme::font(Theme::Text::footnote, QFont::DemiBold));
    painter.drawText(QRectF(4, 0, width(), 20), Qt::AlignLeft | Qt::AlignVCenter, tr("Last hour"));
    if (!m_plotted.empty()) paintLegend(painter);

    const QRectF area = plotArea();
    painter.setFont(Theme::font(Theme::Text::caption2));
    painter.setPen(secondary);
    painter.drawText(QRectF(area.left(), area.bottom() + 4, 120, 16), Qt::AlignLeft, tr("1 hour ago"));
    painter.drawText(QRectF(area.right() - 120, area.bottom() + 4, 120, 16), Qt::AlignRight, tr("Now"));
    painter.setPen(QPen(Theme::color(Theme::Role::separator, this), 1));
    for (int line = 0; line <= gridLines; ++line) {
        const double y = area.bottom() - area.height() * line / gridLines;
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
    painter.setFont(tickFont());
    painter.setPen(secondary);
    for (const auto& tick : m_ticks) {
        const double y = area.bottom() - area.height() * (m_top > 0 ? tick.value / m_top : 0);
        painter.drawText(QRectF(area.right() + tickGap, y - 8, width() - area.right() - tickGap, 16),
                         Qt::AlignLeft | Qt::AlignVCenter, tick.text);
    }
    if (m_plotted.empty()) return;

    // The parts are stacked, so each is drawn as the band between the running totals.
    std::vector<double> below(m_plotted.front().size(), 0);
    for (std::size_t part = 1; part < m_plotted.size(); ++part) {
        const auto& points = m_plotted[part];
        QPainterPath band;
        std::vector<QPointF> base;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const double under = i < below.size() ? below[i] : 0;
            const QPointF top = place({points[i].at, under + points[i].value}, area);
            base.push_back(place({points[i].at, under}, area));
            if (i == 0)
                band.moveTo(top);
            else
                band.lineTo(top);
            if (i < below.size()) below[i] += points[i].value;
        }
        for (auto point = base.rbegin(); point != base.rend(); ++point) band.lineTo(*point);
        band.closeSubpath();
        QColor fill = partColour(part - 1, this);
        fill.setAlphaF(0.35F);
        painter.fillPath(band, fill);
    }

    const auto& series = m_plotted.front();
    QPainterPath line;
    line.moveTo(place(series.front(), area));
    for (std::size_t i = 1; i < series.size(); ++i) line.lineTo(place(series[i], area));
    if (m_plotted.size() == 1) {
        QPainterPath fill = line;
        fill.lineTo(place(series.back(), area).x(), area.bottom());
        fill.lineTo(place(series.front(), area).x(), area.bottom());
        fill.closeSubpath();
        QLinearGradient gradient(area.topLeft(), area.bottomLeft());
        QColor top = partColour(0, this);
        top.setAlphaF(0.35F);
        QColor bottom = top;
        bottom.setAlphaF(0.02F);
        gradient.setColorAt(0, top);
        gradient.setColorAt(1, bottom);
        painter.fillPath(fill, gradient);
    }
    painter.setPen(QPen(partColour(0, this), 1.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(line);
    paintReadout(painter, area);
}

void HistoryChart::paintLegend(QPainter& painter) const {
    painter.setFont(Theme::font(Theme::Text::caption));
    const QFontMetricsF metrics(painter.font());
    double right = plotArea().right();
    for (std::size_t part = m_options.parts.size(); part-- > 0;) {
        const QString& name = m_options.parts[part].name;
        const double textWidth = metrics.horizontalAdvance(name);
        painter.setPen(Theme::color(Theme::Role::secondaryText, this));
        painter.drawText(QRectF(right - textWidth, 0, textWidth + 1, 20), Qt::AlignRight | Qt::AlignVCenter,
                         name);
        painter.setPen(Qt::NoPen);
        painter.setBrush(partColour(part, this));
        painter.drawRoundedRect(QRectF(right - textWidth - 14, 6, 9, 9), 2, 2);
        right -= textWidth + 26;
    }
}

void HistoryChart::paintReadout(QPainter& painter, const QRectF& area) const {
    if (!m_hovered || *m_hovered >= m_plotted.front().size()) return;
    const auto& point = m_plotted.front()[*m_hovered];
    const QPointF spot = place(point, area);
    painter.setPen(QPen(Theme::color(Theme::Role::tertiaryText, this), 1, Qt::DashLine));
    painter.drawLine(QPointF(spot.x(), area.top()), QPointF(spot.x(), area.bottom()));
    painter.setPen(Qt::NoPen);
    painter.setBrush(partColour(0, this));
    painter.drawEllipse(spot, 3.5, 3.5);

    auto text = [&](double value) {
        return m_options.format ? m_options.format(value) : QString::number(value);
    };
    std::vector<std::pair<QString, QString>> lines{{tr("Reading"), clockTime(point.at)},
                                                   {tr("Value"), text(point.value)}};
    for (std::size_t part = 1; part < m_plotted.size(); ++part)
        if (*m_hovered < m_plotted[part].size())
            lines.emplace_back(m_options.parts[part - 1].name, text(m_plotted[part][*m_hovered].value));

    painter.setFont(Theme::font(Theme::Text::caption));
    const QFontMetricsF metrics(painter.font());
    const double lineHeight = metrics.height() + 2;
    const QSizeF box(150, lineHeight * static_cast<double>(lines.size()) + 10);
    double left = spot.x() + 10;
    if (left + box.width() > area.right()) left = spot.x() - 10 - box.width();
    const QRectF frame(QPointF(left, area.top() + 4), box);
    painter.setBrush(Theme::color(Theme::Role::card, this));
    painter.setPen(QPen(Theme::color(Theme::Role::separator, this), 1));
    painter.drawRoundedRect(frame, Theme::Radius::s, Theme::Radius::s);
    double y = frame.top() + 5;
    for (const auto& [label, value] : lines) {
        const QRectF row(frame.left() + 8, y, frame.width() - 16, lineHeight);
        painter.setPen(Theme::color(Theme::Role::secondaryText, this));
        painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, label);
        painter.setPen(Theme::color(Theme::Role::text, this));
        painter.drawText(row, Qt::AlignRight | Qt::AlignVCenter, value);
        y += lineHeight;
    }
}

void HistoryChart::mouseMoveEvent(QMouseEvent* event) {
    if (m_plotted.empty()) return;
    const QRectF area = plotArea();
    const auto& series = m_plotted.front();
    std::optional<std::size_t> nearest;
    double distance = 0;
    for (std::size_t i = 0; i < series.size(); ++i) {
        const double gap = std::abs(place(series[i], area).x() - event->position().x());
        if (!nearest || gap < distance) {
            nearest = i;
            distance = gap;
        }
    }
    if (nearest != m_hovered) {
        m_hovered = nearest;
        update();
    }
}

void HistoryChart::leaveEvent(QEvent*) {
    m_hovered.reset();
    update();
}

}  // namespace tarvik::ui
