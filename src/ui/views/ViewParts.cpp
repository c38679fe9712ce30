#include "ui/views/ViewParts.hpp"

#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>

#include "ui/views/Theme.hpp"

namespace tarvik::ui {

Card::Card(QWidget* parent, Look look) : QWidget(parent), m_look(look) {}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Theme::color(Theme::Role::card, this));
    if (m_look == Look::outlined) {
        painter.setPen(QPen(Theme::color(Theme::Role::separator, this), 1));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), Theme::Radius::m,
                                Theme::Radius::m);
        return;
    }
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(rect()), Theme::Radius::m, Theme::Radius::m);
    if (m_look == Look::plain || !layout()) return;

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Theme::color(Theme::Role::separator, this), 0));
    const QWidget* above = nullptr;
    for (int i = 0; i < layout()->count(); ++i) {
        const QWidget* widget = layout()->itemAt(i)->widget();
        if (!widget || widget->isHidden()) continue;
        if (above) {
            const int y = (above->geometry().bottom() + widget->geometry().top() + 1) / 2;
            painter.drawLine(widget->geometry().left() + 10, y, width() - 10, y);
        }
        above = widget;
    }
}

ShareBar::ShareBar(std::vector<Share> shares, std::uint64_t total, QWidget* parent, int height)
    : QWidget(parent), m_shares(std::move(shares)), m_total(total) {
    setFixedHeight(height);
}

void ShareBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath track;
    const qreal radius = height() / 2.0;
    track.addRoundedRect(QRectF(rect()), radius, radius);
    painter.fillPath(track, Theme::color(Theme::Role::separator, this));
    if (m_total == 0) return;
    painter.setClipPath(track);
    double left = 0;
    for (const auto& share : m_shares) {
        const double span = double(width()) * double(share.bytes) / double(m_total);
        painter.fillRect(QRectF(left, 0, span, height()), share.colour.resolve(this));
        left += span;
    }
}

QScrollArea* pageScrollArea(QWidget* parent) {
    auto* result = new QScrollArea(parent);
    result->setWidgetResizable(true);
    result->setFrameShape(QFrame::NoFrame);
    result->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    result->viewport()->setAutoFillBackground(false);
    // Grey at half strength reads on the light and the dark ground alike.
    result->verticalScrollBar()->setStyleSheet(
        "QScrollBar:vertical { width: 8px; background: transparent; margin: 2px 2px 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 110); border-radius: 3px; "
        "min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }");
    return result;
}

void setForeground(QWidget* widget, const QColor& colour) {
    QPalette palette;
    // A label inside a button draws with the button's text role.
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, colour);
    widget->setPalette(palette);
}

}  // namespace tarvik::ui
