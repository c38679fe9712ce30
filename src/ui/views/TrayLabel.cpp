#include "ui/views/TrayLabel.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

#include "core/support/ByteFormat.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik::ui {

TrayLabel TrayLabel::of(const ServerStore& store) {
    TrayLabel label;
    if (!store.devServers().empty()) {
        const auto count = std::to_string(store.devServerCount());
        auto memory = ByteFormat::short_(store.footprint().devBytes());
        std::erase(memory, ' ');
        switch (store.menuBarDisplay()) {
            case MenuBarDisplay::count:
                label.text = count;
                break;
            case MenuBarDisplay::memory:
                label.text = memory;
                break;
            case MenuBarDisplay::both:
                label.text = count + " · " + memory;
                break;
        }
    }
    const auto level = store.heat().level;
    if (level == HeatLevel::hot || level == HeatLevel::critical)
        label.warning = Warning::heat;
    else if (!store.exposedDevServers().empty() || store.memoryPressure() == MemoryPressure::critical)
        label.warning = Warning::attention;
    return label;
}

std::string TrayLabel::tooltip() const {
    std::string result = "Tarvik";
    if (!text.empty()) result += " — " + text;
    if (warning == Warning::heat) result += " — running hot";
    if (warning == Warning::attention) result += " — needs attention";
    return result;
}

QPixmap TrayLabel::render(int height, bool dark, qreal devicePixelRatio) const {
    const QColor ink = Theme::color(Theme::Role::text, dark);
    const int symbolSize = std::max(8, height * 3 / 4);
    QFont font = Theme::font(9, QFont::Bold);
    font.setPixelSize(std::max(8, height * 11 / 20));
    const QFontMetricsF metrics(font);
    const qreal gap = height * 0.15;
    qreal width = symbolSize;
    if (!text.empty()) width += gap + metrics.horizontalAdvance(QString::fromStdString(text));
    const int warningSize = warning == Warning::heat ? height * 10 / 16 : height * 9 / 16;
    if (warning != Warning::none) width += gap + warningSize;

    QPixmap pixmap(QSize(static_cast<int>(std::ceil(width)), height) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    qreal x = 0;
    painter.drawPixmap(QPointF(x, (height - symbolSize) / 2.0),
                       Icons::symbol("server.rack", ink, symbolSize, devicePixelRatio));
    x += symbolSize;
    if (!text.empty()) {
        x += gap;
        painter.setFont(font);
        painter.setPen(ink);
        const QString shown = QString::fromStdString(text);
        painter.drawText(QRectF(x, 0, metrics.horizontalAdvance(shown) + 1, height), Qt::AlignVCenter, shown);
        x += metrics.horizontalAdvance(shown);
    }
    if (warning != Warning::none) {
        x += gap;
        const bool heat = warning == Warning::heat;
        const QColor colour = Theme::color(heat ? Theme::Role::red : Theme::Role::orange, dark);
        painter.drawPixmap(QPointF(x, (height - warningSize) / 2.0),
                           Icons::symbol(heat ? "thermometer.high" : "exclamationmark.triangle.fill", colour,
                                         warningSize, devicePixelRatio));
    }
    return pixmap;
}

}  // namespace tarvik::ui
