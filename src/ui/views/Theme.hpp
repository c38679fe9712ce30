#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

#include "core/servers/ServerKind.hpp"

class QWidget;
class QApplication;

// The one palette every view draws with, light and dark.
namespace tarvik::ui::Theme {

// Whether the palette is a dark one (its window colour is dark).
[[nodiscard]] bool isDark(const QPalette& palette);
[[nodiscard]] bool isDark(const QWidget* widget);

// The kind tints of the server icons.
[[nodiscard]] QColor tint(TintToken token, bool dark);

// System colours of the views.
enum class Role {
    background,  // the panel's and window's ground
    card,        // raised blocks on it
    separator,
    text,
    secondaryText,
    tertiaryText,
    accent,
    green,
    orange,
    red,
};
[[nodiscard]] QColor color(Role role, bool dark);

// A palette of these colours for the application, for renders in a given appearance.
[[nodiscard]] QPalette palette(bool dark);

// The system font at `points`, with a weight.
[[nodiscard]] QFont font(qreal points, QFont::Weight weight = QFont::Normal);
[[nodiscard]] QFont monospaced(qreal points, QFont::Weight weight = QFont::Normal);

}  // namespace tarvik::ui::Theme
