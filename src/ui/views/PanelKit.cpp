#include "ui/views/PanelKit.hpp"

#include <QHBoxLayout>
#include <QLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

#include "ui/icons/Icons.hpp"

namespace tarvik::ui {

namespace {

// A wash over the ground that works on light and dark alike.
QColor wash(bool dark, int strength) {
    return dark ? QColor(255, 255, 255, strength) : QColor(0, 0, 0, strength * 2 / 3);
}

}  // namespace

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void PanelState::confirm(const std::string& key) {
    m_confirming = key;
    emit changed();
}

void PanelState::cancel() {
    m_confirming.reset();
    emit changed();
}

void PanelState::reset() {
    m_confirming.reset();
    emit changed();
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QLabel* makeLabel(const QString& text, qreal points, QFont::Weight weight, Theme::Role role, bool dark,
                  QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(Theme::font(points, weight));
    label->setTextFormat(Qt::PlainText);
    setTextColour(label, Theme::color(role, dark));
    return label;
}

QLabel* makeSymbol(std::string_view symbol, const QColor& colour, int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFixedSize(size, size);
    label->setPixmap(Icons::symbol(symbol, colour, size, label->devicePixelRatioF()));
    return label;
}

QLabel* makeDot(const QColor& colour, int size, QWidget* parent) {
    auto* dot = new QLabel(parent);
    dot->setFixedSize(size, size);
    dot->setStyleSheet(QString("background: %1; border-radius: %2px;").arg(colour.name()).arg(size / 2));
    return dot;
}

QString stopAllQuestion(int count) {
    return count > 1 ? "Stop all " + QString::number(count) : QString("Stop it?");
}

QWidget* makeSeparator(bool dark, QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Theme::color(Theme::Role::separator, dark));
    line->setPalette(palette);
    return line;
}

QWidget* makeQuestion(const QString& confirmText, std::function<void()> confirmed, PanelState& state,
                      QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* confirm = new CapsuleButton(confirmText, CapsuleButton::Style::destructive, box);
    confirm->setObjectName("confirm");
    QObject::connect(confirm, &QAbstractButton::clicked, &state, [&state, confirmed = std::move(confirmed)] {
        confirmed();
        state.cancel();
    });
    auto* cancel = new CapsuleButton("Cancel", CapsuleButton::Style::plain, box);
    cancel->setObjectName("cancel");
    QObject::connect(cancel, &QAbstractButton::clicked, &state, &PanelState::cancel);
    layout->addWidget(confirm);
    layout->addWidget(cancel);
    return box;
}

void clearLayout(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) delete widget;
        if (QLayout* nested = item->layout()) clearLayout(nested);
        delete item;
    }
}

void showItems(QLayout* layout) {
    for (int i = 0; i < layout->count(); ++i)
        if (QWidget* widget = layout->itemAt(i)->widget()) widget->show();
}

QWidget* makeEmptyState(std::string_view symbol, const QString& title, const QString& line, bool dark,
                        QWidget* parent) {
    auto* state = new QWidget(parent);
    auto* layout = new QVBoxLayout(state);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(6);
    layout->addStretch(2);
    layout->addWidget(makeSymbol(symbol, Theme::color(Theme::Role::tertiaryText, dark), 34, state), 0,
                      Qt::AlignHCenter);
    layout->addSpacing(4);
    auto* heading = makeLabel(title, 11.5, QFont::DemiBold, Theme::Role::secondaryText, dark, state);
    auto* detail = makeLabel(line, 9.5, QFont::Normal, Theme::Role::tertiaryText, dark, state);
    detail->setWordWrap(true);
    for (auto* label : {heading, detail}) {
        label->setAlignment(Qt::AlignHCenter);
        layout->addWidget(label);
    }
    layout->addStretch(3);
    return state;
}

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent, Qt::TextElideMode mode)
    : QLabel(text, parent), m_mode(mode) {
    setTextFormat(Qt::PlainText);
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const {
    // Rounded up: eliding measures in fractions and would cut a text given its rounded width.
    const auto width = static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(text())));
    return {width, QLabel::sizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    painter.drawText(area, static_cast<int>(alignment()),
                     fontMetrics().elidedText(text(), m_mode, area.width()));
}

SymbolButton::SymbolButton(std::string_view symbol, const QColor& colour, QWidget* parent, int size)
    : QAbstractButton(parent), m_size(size) {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setSymbol(symbol, colour);
}

void SymbolButton::setSymbol(std::string_view symbol, const QColor& colour, qreal rotation) {
    m_pixmap = Icons::symbol(symbol, colour, m_size, devicePixelRatioF());
    if (rotation != 0 && !m_pixmap.isNull()) {
        const qreal ratio = m_pixmap.devicePixelRatio();
        m_pixmap = m_pixmap.transformed(QTransform().rotate(rotation), Qt::SmoothTransformation);
        m_pixmap.setDevicePixelRatio(ratio);
    }
    update();
}

QSize SymbolButton::sizeHint() const {
    return {m_size + 10, m_size + 10};
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isEnabled() && (underMouse() || isDown())) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(wash(Theme::isDark(this), isDown() ? 40 : 24));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }
    if (!isEnabled()) painter.setOpacity(0.4);
    const QSizeF size = m_pixmap.deviceIndependentSize();
    painter.drawPixmap(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), m_pixmap);
}

CapsuleButton::CapsuleButton(const QString& text, Style style, QWidget* parent, std::string_view symbol)
    : QAbstractButton(parent), m_style(style), m_symbol(symbol) {
    setText(text);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setFont(Theme::font(style == Style::tab ? 10 : 9, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize CapsuleButton::sizeHint() const {
    int width = fontMetrics().horizontalAdvance(text()) + 18;
    if (!m_symbol.empty()) width += 17;
    return {width, m_style == Style::tab ? 26 : 24};
}

QColor CapsuleButton::textColour() const {
    const bool dark = Theme::isDark(this);
    switch (m_style) {
        case Style::prominent:
        case Style::destructive:
            return Qt::white;
        case Style::tab:
            return Theme::color(isChecked() || underMouse() ? Theme::Role::text : Theme::Role::secondaryText,
                                dark);
        case Style::plain:
            break;
    }
    return Theme::color(Theme::Role::text, dark);
}

void CapsuleButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDark(this);
    const bool pressed = isDown();
    QColor fill;
    switch (m_style) {
        case Style::plain:
            fill = wash(dark, pressed ? 44 : underMouse() ? 34 : 22);
            break;
        case Style::prominent:
            fill = Theme::color(Theme::Role::accent, dark);
            break;
        case Style::destructive:
            fill = Theme::color(Theme::Role::red, dark);
            break;
        case Style::tab:
            break;
    }
    if (fill.isValid()) {
        if (pressed && m_style != Style::plain) fill = fill.darker(115);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()), 7, 7);
    }
    const QColor colour = textColour();
    QRect area = rect().adjusted(9, 0, -9, 0);
    if (!m_symbol.empty()) {
        const QPixmap symbol = Icons::symbol(m_symbol, colour, 13, devicePixelRatioF());
        const int textWidth = fontMetrics().horizontalAdvance(text());
        const int left = (width() - textWidth - 17) / 2;
        painter.drawPixmap(QPointF(left, (height() - 13) / 2.0), symbol);
        area.setLeft(left + 17);
        area.setWidth(textWidth);
    }
    painter.setPen(colour);
    painter.drawText(area, Qt::AlignCenter, text());
}

}  // namespace tarvik::ui
