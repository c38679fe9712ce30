#include "ui/views/TrayLabel.hpp"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

#include "core/analysis/HeatReport.hpp"
#include "core/machine/SystemVitals.hpp"
#include "core/servers/DevFootprint.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/ShownText.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/store/StoreSettings.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik::ui {

TrayLabel TrayLabel::of(const ServerStore& store) {
    TrayLabel label;
    if (!store.devServers().empty()) {
        label.count = store.devServerCount();
        const auto count = std::to_string(store.devServerCount());
        auto memory = ByteFormat::short_(store.footprint().devBytes());
        std::erase(memory, ' ');
        switch (store.settings().menuBarDisplay()) {
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

QString TrayLabel::tooltip() const {
    QString result = text.empty() ? QCoreApplication::translate("TrayLabel", "Tarvik")
                                  : QCoreApplication::translate("TrayLabel", "Tarvik — %1").arg(qs(text));
    if (warning == Warning::heat)
        result = QCoreApplication::translate("TrayLabel", "%1 — running hot").arg(result);
    if (warning == Warning::attention)
        result = QCoreApplication::translate("TrayLabel", "%1 — needs attention").arg(result);
    return result;
}

namespace {

// The rack: two units stacked, each with a light on its right.
void drawRack(QPainter& painter, const QRectF& box, const QColor& ink) {
    const qreal stroke = std::max(1.5, box.height() / 9);
    const qreal gap = box.height() * 0.12;
    const qreal unit = (box.height() - gap) / 2;
    painter.setPen(QPen(ink, stroke));
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < 2; ++i) {
        const QRectF frame(box.x() + stroke / 2, box.y() + i * (unit + gap) + stroke / 2,
                           box.width() - stroke, unit - stroke);
        painter.drawRoundedRect(frame, stroke, stroke);
        const qreal light = stroke * 1.2;
        painter.setBrush(ink);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(frame.right() - stroke - light / 2, frame.center().y()), light / 2,
                            light / 2);
        painter.setPen(QPen(ink, stroke));
        painter.setBrush(Qt::NoBrush);
    }
}

// A solid thermometer, bold enough to read in a badge of a dozen pixels.
void drawThermometer(QPainter& painter, const QRectF& badge) {
    const qreal d = badge.height();
    const QPointF centre = badge.center();
    const qreal stem = d * 0.2;
    const qreal bulb = d * 0.19;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(centre.x() - stem / 2, badge.top() + d * 0.16, stem, d * 0.5), stem / 2,
                            stem / 2);
    painter.drawEllipse(QPointF(centre.x(), badge.bottom() - d * 0.3), bulb, bulb);
}

// `pixmap` with every drawn pixel in `colour`.
QPixmap tinted(const QPixmap& pixmap, const QColor& colour) {
    QPixmap result = pixmap;
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), colour);
    return result;
}

}  // namespace

QPixmap TrayLabel::icon(int size, Bar bar) const {
    const bool onDark = bar != Bar::light;
    const QColor ink = onDark ? QColor(0xf5, 0xf5, 0xf7) : QColor(0x1d, 0x1d, 0x1f);
    // Room for the outline that keeps a light drawing readable on a light bar.
    const int outline = bar == Bar::unknown ? std::max(1, size / 22) : 0;
    const QRectF area = QRectF(0, 0, size, size).adjusted(outline, outline, -outline, -outline);

    QPixmap glyph(size, size);
    glyph.fill(Qt::transparent);
    {
        QPainter painter(&glyph);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal rackHeight = area.height() * 0.84;
        drawRack(painter,
                 QRectF(area.x(), area.y() + (area.height() - rackHeight) / 2, area.width(), rackHeight),
                 ink);

        QString mark;
        Theme::Role fill = Theme::Role::accent;
        if (warning == Warning::heat) {
            fill = Theme::Role::red;
        } else if (warning == Warning::attention) {
            mark = "!";
            fill = Theme::Role::orange;
        } else if (count > 0) {
            mark = count > 99 ? QString("99+") : QString::number(count);
        }
        if (warning != Warning::none || count > 0) {
            QFont font = Theme::font(9, QFont::Bold);
            const qreal diameter = std::round(area.height() * 0.64);
            font.setPixelSize(std::max(7, static_cast<int>(diameter * 0.78)));
            const qreal textWidth = QFontMetricsF(font).horizontalAdvance(mark);
            const qreal width = std::min(area.width(), std::max(diameter, textWidth + diameter * 0.35));
            const QRectF badge(area.right() - width, area.bottom() - diameter, width, diameter);
            // A gap between the badge and the rack under it.
            const qreal gap = std::max(1.0, size / 22.0);
            painter.setCompositionMode(QPainter::CompositionMode_Clear);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawRoundedRect(badge.adjusted(-gap, -gap, gap, gap), diameter / 2 + gap,
                                    diameter / 2 + gap);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            painter.setBrush(Theme::color(fill, onDark));
            painter.drawRoundedRect(badge, diameter / 2, diameter / 2);
            if (warning == Warning::heat) {
                drawThermometer(painter, badge);
            } else {
                painter.setFont(font);
                painter.setPen(Qt::white);
                painter.drawText(badge, Qt::AlignCenter, mark);
            }
        }
    }
    if (outline == 0) return glyph;

    QPixmap result(size, size);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    const QPixmap halo = tinted(glyph, QColor(0, 0, 0, 190));
    for (int dx = -outline; dx <= outline; ++dx)
        for (int dy = -outline; dy <= outline; ++dy)
            if (dx != 0 || dy != 0) painter.drawPixmap(dx, dy, halo);
    painter.drawPixmap(0, 0, glyph);
    return result;
}

QIcon TrayLabel::icons(Bar bar) const {
    QIcon result;
    for (int size : sizes) result.addPixmap(icon(size, bar));
    return result;
}

}  // namespace tarvik::ui
