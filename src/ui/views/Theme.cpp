#include "ui/views/Theme.hpp"

#include <QEvent>
#include <QFontDatabase>
#include <QVariant>
#include <QWidget>

namespace tarvik::ui::Theme {

namespace {

// Runs its action after each palette change of the widget it belongs to. The widget has its new
// palette by the time the event reaches the filter; setting the same palette again sends nothing,
// so an action that sets one cannot loop.
class Follower : public QObject {
public:
    Follower(QWidget* widget, std::function<void()> apply) : QObject(widget), m_apply(std::move(apply)) {
        widget->installEventFilter(this);
        m_apply();
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange) m_apply();
        return false;
    }

private:
    std::function<void()> m_apply;
};

constexpr const char* foregroundKey = "themeForeground";
constexpr const char* backgroundKey = "themeBackground";

// Sets the roles kept on the widget from a palette that names only them, so that every other
// colour stays its parents' and an appearance switch still reaches the widget.
void applyRoles(QWidget* widget) {
    const QVariant foreground = widget->property(foregroundKey);
    const QVariant background = widget->property(backgroundKey);
    // A widget's own window colour is its fill: its appearance is then its parent's.
    const QWidget* parent = widget->parentWidget();
    const bool dark = background.isValid() ? (parent ? isDark(parent) : isDark(QPalette())) : isDark(widget);
    QPalette palette;
    if (foreground.isValid()) {
        const QColor colour = color(static_cast<Role>(foreground.toInt()), dark);
        // A label inside a button draws with the button's text role.
        for (auto textRole : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(textRole, colour);
    }
    if (background.isValid())
        palette.setColor(QPalette::Window, color(static_cast<Role>(background.toInt()), dark));
    widget->setPalette(palette);
}

void keepRole(QWidget* widget, const char* key, Role role) {
    const bool following =
        widget->property(foregroundKey).isValid() || widget->property(backgroundKey).isValid();
    widget->setProperty(key, static_cast<int>(role));
    if (following)
        applyRoles(widget);
    else
        new Follower(widget, [widget] { applyRoles(widget); });
}

struct Style {
    qreal points;
    QFont::Weight weight;
};

Style styleOf(Text style) {
    switch (style) {
        case Text::caption2:
            return {8.5, QFont::Normal};
        case Text::caption:
            return {9, QFont::Normal};
        case Text::footnote:
            return {9.5, QFont::Normal};
        case Text::subheadline:
            return {10, QFont::Normal};
        case Text::callout:
            return {10.5, QFont::Normal};
        case Text::body:
            return {11, QFont::Normal};
        case Text::bodyLarge:
            return {12, QFont::Normal};
        case Text::headline:
            return {13, QFont::Bold};
        case Text::title3:
            return {15, QFont::Bold};
        case Text::title2:
            return {17, QFont::DemiBold};
        case Text::title:
            return {20, QFont::Bold};
        case Text::largeTitle:
            return {30, QFont::Bold};
    }
    return {11, QFont::Normal};
}

}  // namespace

qreal pointSize(Text style) {
    return styleOf(style).points;
}

QFont::Weight weight(Text style) {
    return styleOf(style).weight;
}

QFont font(Text style) {
    return font(pointSize(style), weight(style));
}

QFont font(Text style, QFont::Weight weight) {
    return font(pointSize(style), weight);
}

QFont monospaced(Text style) {
    return monospaced(pointSize(style), weight(style));
}

QFont monospaced(Text style, QFont::Weight weight) {
    return monospaced(pointSize(style), weight);
}

QColor color(Role role, const QPalette& palette) {
    return color(role, isDark(palette));
}

QColor color(Role role, const QWidget* widget) {
    return color(role, isDark(widget));
}

QColor tint(TintToken token, const QPalette& palette) {
    return tint(token, isDark(palette));
}

QColor tint(TintToken token, const QWidget* widget) {
    return tint(token, isDark(widget));
}

QColor Ink::resolve(const QPalette& palette) const {
    if (const auto* role = std::get_if<Role>(&m_value)) return color(*role, palette);
    if (const auto* token = std::get_if<TintToken>(&m_value)) return tint(*token, palette);
    return std::get<QColor>(m_value);
}

QColor Ink::resolve(const QWidget* widget) const {
    return widget ? resolve(widget->palette()) : resolve(QPalette());
}

void follow(QWidget* widget, std::function<void()> apply) {
    new Follower(widget, std::move(apply));
}

void setForeground(QWidget* widget, Role role) {
    keepRole(widget, foregroundKey, role);
}

void setBackground(QWidget* widget, Role role) {
    widget->setAutoFillBackground(true);
    keepRole(widget, backgroundKey, role);
}

}  // namespace tarvik::ui::Theme
