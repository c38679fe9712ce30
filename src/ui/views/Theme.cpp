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

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

bool isDark(const QWidget* widget) {
    return widget && isDark(widget->palette());
}

QColor tint(TintToken token, bool dark) {
    // Tailwind's 500 shades in light, 400 in dark: legible on both grounds.
    switch (token) {
        case TintToken::yellow:
            return dark ? QColor(0xfacc15) : QColor(0xeab308);
        case TintToken::amber:
            return dark ? QColor(0xfbbf24) : QColor(0xf59e0b);
        case TintToken::orange:
            return dark ? QColor(0xfb923c) : QColor(0xf97316);
        case TintToken::red:
            return dark ? QColor(0xf87171) : QColor(0xef4444);
        case TintToken::pink:
            return dark ? QColor(0xf472b6) : QColor(0xec4899);
        case TintToken::purple:
            return dark ? QColor(0xc084fc) : QColor(0xa855f7);
        case TintToken::indigo:
            return dark ? QColor(0x818cf8) : QColor(0x6366f1);
        case TintToken::blue:
            return dark ? QColor(0x60a5fa) : QColor(0x3b82f6);
        case TintToken::teal:
            return dark ? QColor(0x2dd4bf) : QColor(0x14b8a6);
        case TintToken::emerald:
            return dark ? QColor(0x34d399) : QColor(0x10b981);
        case TintToken::green:
            return dark ? QColor(0x4ade80) : QColor(0x22c55e);
        case TintToken::slate:
            break;
    }
    return dark ? QColor(0x94a3b8) : QColor(0x64748b);
}

QColor color(Role role, bool dark) {
    switch (role) {
        case Role::background:
            return dark ? QColor(0x1e1e20) : QColor(0xf6f6f7);
        case Role::card:
            return dark ? QColor(0x2a2a2d) : QColor(0xffffff);
        case Role::separator:
            return dark ? QColor(0x3a3a3e) : QColor(0xe3e3e6);
        case Role::text:
            return dark ? QColor(0xf2f2f3) : QColor(0x1c1c1e);
        case Role::secondaryText:
            return dark ? QColor(0xa1a1a8) : QColor(0x6b6b73);
        case Role::tertiaryText:
            return dark ? QColor(0x6e6e76) : QColor(0xa0a0a8);
        case Role::accent:
            return dark ? QColor(0x409cff) : QColor(0x007aff);
        case Role::green:
            return dark ? QColor(0x30d158) : QColor(0x28a745);
        case Role::orange:
            return dark ? QColor(0xff9f0a) : QColor(0xf08c00);
        case Role::red:
            return dark ? QColor(0xff453a) : QColor(0xe5383b);
    }
    return {};
}

QPalette palette(bool dark) {
    QPalette result;
    result.setColor(QPalette::Window, color(Role::background, dark));
    result.setColor(QPalette::Base, color(Role::card, dark));
    result.setColor(QPalette::AlternateBase, color(Role::background, dark));
    result.setColor(QPalette::Button, color(Role::card, dark));
    result.setColor(QPalette::WindowText, color(Role::text, dark));
    result.setColor(QPalette::Text, color(Role::text, dark));
    result.setColor(QPalette::ButtonText, color(Role::text, dark));
    result.setColor(QPalette::PlaceholderText, color(Role::tertiaryText, dark));
    result.setColor(QPalette::Highlight, color(Role::accent, dark));
    result.setColor(QPalette::HighlightedText, QColor(Qt::white));
    result.setColor(QPalette::Link, color(Role::accent, dark));
    result.setColor(QPalette::Mid, color(Role::separator, dark));
    result.setColor(QPalette::ToolTipBase, color(Role::card, dark));
    result.setColor(QPalette::ToolTipText, color(Role::text, dark));
    result.setColor(QPalette::Disabled, QPalette::Text, color(Role::tertiaryText, dark));
    result.setColor(QPalette::Disabled, QPalette::ButtonText, color(Role::tertiaryText, dark));
    result.setColor(QPalette::Disabled, QPalette::WindowText, color(Role::tertiaryText, dark));
    return result;
}

QFont font(qreal points, QFont::Weight weight) {
    QFont result = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    result.setPointSizeF(points);
    result.setWeight(weight);
    return result;
}

QFont monospaced(qreal points, QFont::Weight weight) {
    QFont result = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    result.setPointSizeF(points);
    result.setWeight(weight);
    return result;
}

}  // namespace tarvik::ui::Theme
