#include "ui/views/ToggleSwitch.hpp"

#include <QPainter>

#include "ui/views/PanelKit.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik::ui {

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent), m_knob(this) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_knob.setDuration(160);
    m_knob.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_knob, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

QSize ToggleSwitch::sizeHint() const {
    return {34, 20};
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    const bool dark = Theme::isDark(this);
    const qreal on = m_knob.state() == QAbstractAnimation::Running ? m_knob.currentValue().toReal()
                                                                   : (isChecked() ? 1.0 : 0.0);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(0.45);

    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;
    QColor off = Theme::color(Theme::Role::separator, dark);
    if (!dark) off = off.darker(112);
    const QColor accent = Theme::color(Theme::Role::accent, dark);
    QColor fill;
    fill.setRgbF(off.redF() + (accent.redF() - off.redF()) * on,
                 off.greenF() + (accent.greenF() - off.greenF()) * on,
                 off.blueF() + (accent.blueF() - off.blueF()) * on);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, radius, radius);

    const qreal inset = 2;
    const qreal diameter = track.height() - 2 * inset;
    const qreal travel = track.width() - 2 * inset - diameter;
    const QRectF knob(track.left() + inset + travel * on, track.top() + inset, diameter, diameter);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knob.translated(0, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
    if (showsFocusRing(this)) paintFocusRing(painter, this, QRectF(rect()), height() / 2.0);
}

void ToggleSwitch::keyPressEvent(QKeyEvent* event) {
    if (!clickOnEnter(this, event)) QAbstractButton::keyPressEvent(event);
}

void ToggleSwitch::checkStateSet() {
    QAbstractButton::checkStateSet();
    slide();
}

void ToggleSwitch::nextCheckState() {
    QAbstractButton::nextCheckState();
    slide();
}

void ToggleSwitch::slide() {
    // Qt reports a set state even when it is the same one.
    if (isChecked() == m_on) return;
    m_on = isChecked();
    const qreal target = m_on ? 1 : 0;
    if (!isVisible()) {
        m_knob.stop();
        update();
        return;
    }
    const qreal from =
        m_knob.state() == QAbstractAnimation::Running ? m_knob.currentValue().toReal() : 1 - target;
    m_knob.stop();
    m_knob.setStartValue(from);
    m_knob.setEndValue(target);
    m_knob.start();
}

}  // namespace tarvik::ui
