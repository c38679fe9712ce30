#include "ui/views/PanelKit.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

#include "ui/icons/Icons.hpp"

namespace tarvik::ui {

namespace {

// A wash over the ground that works on light and dark alike.
QColor wash(const QWidget* widget, int strength) {
    return Theme::isDark(widget) ? QColor(255, 255, 255, strength) : QColor(0, 0, 0, strength * 2 / 3);
}

class Dot : public QWidget {
public:
    Dot(Theme::Ink ink, int size, QWidget* parent) : QWidget(parent), m_ink(std::move(ink)) {
        setFixedSize(size, size);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_ink.resolve(this));
        painter.drawEllipse(QRectF(rect()));
    }

private:
    Theme::Ink m_ink;
};

}  // namespace

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

namespace {

QLabel* styledLabel(const QString& text, const QFont& font, Theme::Role role, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    Theme::setForeground(label, role);
    return label;
}

}  // namespace

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QLabel* makeLabel(const QString& text, Theme::Text style, Theme::Role role, QWidget* parent) {
    return styledLabel(text, Theme::font(style), role, parent);
}

QString breakable(const QString& text) {
    constexpr int longestRun = 24;
    const QChar zeroWidthSpace(0x200B);
    QString result;
    result.reserve(text.size() + text.size() / longestRun);
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        // Never between the halves of a surrogate pair.
        if (run > longestRun && !c.isLowSurrogate()) {
            result += zeroWidthSpace;
            run = 1;
        }
        result += c;
    }
    return result;
}

QLabel* makeWrapped(const QString& text, Theme::Text style, Theme::Role role, QWidget* parent) {
    auto* label = makeLabel(breakable(text), style, role, parent);
    label->setWordWrap(true);
    return label;
}

QLabel* makeLabel(const QString& text, Theme::Text style, QFont::Weight weight, Theme::Role role,
                  QWidget* parent) {
    return styledLabel(text, Theme::font(style, weight), role, parent);
}

QLabel* makeLabel(const QString& text, qreal points, QFont::Weight weight, Theme::Role role, bool,
                  QWidget* parent) {
    return styledLabel(text, Theme::font(points, weight), role, parent);
}

QLabel* makeSymbol(std::string_view symbol, const Theme::Ink& ink, int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFixedSize(size, size);
    Theme::follow(label, [label, name = std::string(symbol), ink, size] {
        label->setPixmap(Icons::symbol(name, ink.resolve(label), size, label->devicePixelRatioF()));
    });
    return label;
}

QWidget* makeDot(const Theme::Ink& ink, int size, QWidget* parent) {
    return new Dot(ink, size, parent);
}

QString stopAllQuestion(int count) {
    return count > 1 ? QCoreApplication::translate("PanelKit", "Stop all %1").arg(count)
                     : QCoreApplication::translate("PanelKit", "Stop it?");
}

QWidget* makeSeparator(QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setFixedHeight(Theme::Space::hairline);
    Theme::setBackground(line, Theme::Role::separator);
    return line;
}

QWidget* makeSeparator(bool, QWidget* parent) {
    return makeSeparator(parent);
}

QWidget* makeQuestion(const QString& confirmText, std::function<void()> confirmed, PanelState& state,
                      QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::Space::s);
    auto* confirm = new CapsuleButton(confirmText, CapsuleButton::Style::destructive, box);
    confirm->setObjectName("confirm");
    QObject::connect(confirm, &QAbstractButton::clicked, &state, [&state, confirmed = std::move(confirmed)] {
        confirmed();
        state.cancel();
    });
    auto* cancel = new CapsuleButton(QCoreApplication::translate("PanelKit", "Cancel"),
                                     CapsuleButton::Style::plain, box);
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

QWidget* makeEmptyState(std::string_view symbol, const QString& title, const QString& line, QWidget* parent) {
    auto* state = new QWidget(parent);
    auto* layout = new QVBoxLayout(state);
    const int margin = Theme::Space::section;
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(Theme::Space::s);
    layout->addStretch(2);
    layout->addWidget(makeSymbol(symbol, Theme::Role::tertiaryText, Theme::Size::emptySymbol, state), 0,
                      Qt::AlignHCenter);
    layout->addSpacing(Theme::Space::xs);
    auto* heading = makeLabel(title, Theme::Text::body, QFont::DemiBold, Theme::Role::secondaryText, state);
    auto* detail = makeLabel(line, Theme::Text::footnote, Theme::Role::tertiaryText, state);
    detail->setWordWrap(true);
    for (auto* label : {heading, detail}) {
        label->setAlignment(Qt::AlignHCenter);
        layout->addWidget(label);
    }
    layout->addStretch(3);
    return state;
}

QWidget* makeEmptyState(std::string_view symbol, const QString& title, const QString& line, bool,
                        QWidget* parent) {
    return makeEmptyState(symbol, title, line, parent);
}

bool showsFocusRing(const QWidget* widget) {
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void paintFocusRing(QPainter& painter, const QWidget* widget, const QRectF& area, qreal radius,
                    const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colour.isValid() ? colour : Theme::color(Theme::Role::accent, widget), 2));
    painter.drawRoundedRect(area.adjusted(1, 1, -1, -1), radius, radius);
    painter.restore();
}

void focusByKeyboard(QWidget* widget) {
    // Qt marks the window so only for a real Tab key; a move by arrow or after a question is one too.
    widget->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    widget->setFocus(Qt::TabFocusReason);
}

bool clickOnEnter(QAbstractButton* button, const QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) return false;
    if (button->isEnabled()) button->click();
    return true;
}

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent, Qt::TextElideMode mode)
    : QLabel(text, parent), m_mode(mode) {
    setTextFormat(Qt::PlainText);
}

ElidedLabel::ElidedLabel(const QString& text, const QFont& font, Theme::Role role, QWidget* parent,
                         Qt::TextElideMode mode)
    : ElidedLabel(text, parent, mode) {
    setFont(font);
    Theme::setForeground(this, role);
}

void ElidedLabel::setText(const QString& text) {
    QLabel::setText(text);
    updateToolTip();
}

bool ElidedLabel::isElided() const {
    return fontMetrics().elidedText(text(), m_mode, contentsRect().width()) != text();
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const {
    // The whole text's width, which a layout gives while it has the room and takes back down to
    // nothing when it has not. Rounded up: eliding measures in fractions.
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

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    updateToolTip();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) updateToolTip();
}

void ElidedLabel::updateToolTip() {
    setToolTip(isElided() ? text() : QString());
}

SymbolButton::SymbolButton(std::string_view symbol, const Theme::Ink& ink, QWidget* parent, int size)
    : QAbstractButton(parent), m_size(size) {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    // Reached by Tab, not taken by a click: a popup's focus should not jump under the mouse.
    setFocusPolicy(Qt::TabFocus);
    setSymbol(symbol, ink);
}

void SymbolButton::setSymbol(std::string_view symbol, const Theme::Ink& ink, qreal rotation) {
    if (symbol == m_symbol && ink == m_ink && rotation == m_rotation) return;
    m_symbol = symbol;
    m_ink = ink;
    m_rotation = rotation;
    m_drawnIn = QColor();
    update();
}

QSize SymbolButton::sizeHint() const {
    return {m_size + Theme::Space::l, m_size + Theme::Space::l};
}

QSize SymbolButton::minimumSizeHint() const {
    return sizeHint();
}

void SymbolButton::keyPressEvent(QKeyEvent* event) {
    if (!clickOnEnter(this, event)) QAbstractButton::keyPressEvent(event);
}

void SymbolButton::paintEvent(QPaintEvent*) {
    const QColor colour = m_ink.resolve(this);
    if (colour != m_drawnIn) {
        m_drawnIn = colour;
        m_pixmap = Icons::symbol(m_symbol, colour, m_size, devicePixelRatioF());
        if (m_rotation != 0 && !m_pixmap.isNull()) {
            const qreal ratio = m_pixmap.devicePixelRatio();
            m_pixmap = m_pixmap.transformed(QTransform().rotate(m_rotation), Qt::SmoothTransformation);
            m_pixmap.setDevicePixelRatio(ratio);
        }
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isEnabled() && (underMouse() || isDown())) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(wash(this, isDown() ? 40 : 24));
        painter.drawRoundedRect(QRectF(rect()), Theme::Radius::s, Theme::Radius::s);
    }
    if (!isEnabled()) painter.setOpacity(0.4);
    const QSizeF size = m_pixmap.deviceIndependentSize();
    painter.drawPixmap(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), m_pixmap);
    if (showsFocusRing(this)) paintFocusRing(painter, this, QRectF(rect()), Theme::Radius::s);
}

CapsuleButton::CapsuleButton(const QString& text, Style style, QWidget* parent, std::string_view symbol)
    : QAbstractButton(parent), m_style(style), m_symbol(symbol) {
    setText(text);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setFont(
        Theme::font(style == Style::tab ? Theme::Text::subheadline : Theme::Text::caption, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize CapsuleButton::sizeHint() const {
    int width = fontMetrics().horizontalAdvance(text()) + 18;
    if (!m_symbol.empty()) width += 17;
    return {width, m_style == Style::tab ? 26 : 24};
}

QColor CapsuleButton::textColour() const {
    switch (m_style) {
        case Style::prominent:
        case Style::destructive:
            return Qt::white;
        case Style::tab:
            return Theme::color(isChecked() || underMouse() ? Theme::Role::text : Theme::Role::secondaryText,
                                this);
        case Style::plain:
            break;
    }
    return Theme::color(Theme::Role::text, this);
}

void CapsuleButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool pressed = isDown();
    QColor fill;
    switch (m_style) {
        case Style::plain:
            fill = wash(this, pressed ? 44 : underMouse() ? 34 : 22);
            break;
        case Style::prominent:
            fill = Theme::color(Theme::Role::accent, this);
            break;
        case Style::destructive:
            fill = Theme::color(Theme::Role::red, this);
            break;
        case Style::tab:
            break;
    }
    if (fill.isValid()) {
        if (pressed && m_style != Style::plain) fill = fill.darker(115);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()), Theme::Radius::s, Theme::Radius::s);
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
    // On a filled button an accent ring would vanish into the fill; it takes the text's colour inside.
    if (showsFocusRing(this) && m_style == Style::prominent)
        paintFocusRing(painter, this, QRectF(rect()).adjusted(2, 2, -2, -2), Theme::Radius::s - 2, colour);
    else if (showsFocusRing(this))
        paintFocusRing(painter, this, QRectF(rect()), Theme::Radius::s);
}

void CapsuleButton::keyPressEvent(QKeyEvent* event) {
    if (!clickOnEnter(this, event)) QAbstractButton::keyPressEvent(event);
}

}  // namespace tarvik::ui
