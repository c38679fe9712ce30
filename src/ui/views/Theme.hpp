#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QSize>
#include <functional>
#include <variant>

#include "core/servers/ServerKind.hpp"

class QWidget;
class QApplication;

// The design values every view draws with: spacing, radii, text styles, sizes and the colours of
// the light and the dark appearance. Colours are looked up by role against the palette a widget
// has when it paints, so an appearance switch repaints the views instead of rebuilding them.
namespace tarvik::ui::Theme {

// Gaps and margins in pixels, smallest first.
namespace Space {
inline constexpr int hairline = 1;
inline constexpr int xxs = 2;
inline constexpr int xs = 4;
inline constexpr int s = 6;
inline constexpr int m = 8;
inline constexpr int l = 10;
inline constexpr int xl = 12;
inline constexpr int xxl = 14;
inline constexpr int xxxl = 16;
inline constexpr int huge = 20;
inline constexpr int section = 24;  // between the blocks of a page
inline constexpr int page = 28;     // round a page of the window
}  // namespace Space

// Corner radii in pixels.
namespace Radius {
inline constexpr int xs = 3;   // scroll handles, thin bars
inline constexpr int s = 6;    // buttons, hover grounds, tabs
inline constexpr int m = 8;    // cards, the tab bar
inline constexpr int l = 10;   // toasts, strips
inline constexpr int xl = 12;  // the panel itself
}  // namespace Radius

// Fixed sizes of the windows and their parts.
namespace Size {
inline constexpr QSize panel{380, 560};
inline constexpr QSize dashboard{1120, 760};
inline constexpr QSize dashboardMinimum{860, 560};
inline constexpr int sidebar = 208;     // the dashboard's section rail
inline constexpr int rowIcon = 28;      // a server's icon in a list row
inline constexpr int dot = 8;           // a status dot
inline constexpr int control = 32;      // the height of a large button
inline constexpr int emptySymbol = 34;  // the symbol over an empty page
}  // namespace Size

// Text styles, smallest first; each has a size and a usual weight.
enum class Text {
    caption2,     // 8.5: small print, table heads, chart axes
    caption,      // 9: second lines, ages, legends
    footnote,     // 9.5: details and figures in the panel, ports
    subheadline,  // 10: counts, group titles, card headings
    callout,      // 10.5: row names, details in the window
    body,         // 11: captions in the window, empty-state headings
    bodyLarge,    // 12: rows and controls in the window, section headings
    headline,     // 13, bold: the panel's title
    title3,       // 15, bold: the welcome title
    title2,       // 17, semibold: a page's sentence
    title,        // 20, bold: a page's title
    largeTitle,   // 30, bold: a page's main figure
};
[[nodiscard]] qreal pointSize(Text style);
[[nodiscard]] QFont::Weight weight(Text style);
// The system font in a style, with its usual weight or another.
[[nodiscard]] QFont font(Text style);
[[nodiscard]] QFont font(Text style, QFont::Weight weight);
[[nodiscard]] QFont monospaced(Text style);
[[nodiscard]] QFont monospaced(Text style, QFont::Weight weight);

// Whether the palette is a dark one (its window colour is dark).
[[nodiscard]] bool isDark(const QPalette& palette);
[[nodiscard]] bool isDark(const QWidget* widget);

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
// A role's colour in the appearance of a palette, or of the palette a widget has now: call it
// when painting, so that the colour follows an appearance switch.
[[nodiscard]] QColor color(Role role, const QPalette& palette);
[[nodiscard]] QColor color(Role role, const QWidget* widget);
// The kind tints of the server icons, in the same way.
[[nodiscard]] QColor tint(TintToken token, const QPalette& palette);
[[nodiscard]] QColor tint(TintToken token, const QWidget* widget);

// A colour named by role or tint and resolved against a palette when drawn, or one given outright.
class Ink {
public:
    Ink(Role role) : m_value(role) {}                         // NOLINT(google-explicit-constructor)
    Ink(TintToken tint) : m_value(tint) {}                    // NOLINT(google-explicit-constructor)
    Ink(QColor colour) : m_value(colour) {}                   // NOLINT(google-explicit-constructor)
    Ink(Qt::GlobalColor colour) : m_value(QColor(colour)) {}  // NOLINT(google-explicit-constructor)
    [[nodiscard]] QColor resolve(const QPalette& palette) const;
    [[nodiscard]] QColor resolve(const QWidget* widget) const;
    bool operator==(const Ink&) const = default;

private:
    std::variant<Role, TintToken, QColor> m_value;
};

// Gives `widget` the text colour of `role`, and gives it again whenever its palette changes, so a
// label keeps its role across an appearance switch. Every other colour stays its parents'.
void setForeground(QWidget* widget, Role role);
// Fills `widget` with the colour of `role` the same way.
void setBackground(QWidget* widget, Role role);
// Runs `apply` now and again after each change of `widget`'s palette, for what holds a colour
// fixed when made, such as a symbol's picture. Lives as long as the widget. Not for a style sheet
// on the widget itself: setting one changes its palette in turn.
void follow(QWidget* widget, std::function<void()> apply);

// A palette of these colours for the application, for renders in a given appearance.
[[nodiscard]] QPalette palette(bool dark);

// The colours of an appearance given outright, for callers that draw one appearance only (a share
// card, a tray icon); views resolve against their palette above.
[[nodiscard]] QColor color(Role role, bool dark);
[[nodiscard]] QColor tint(TintToken token, bool dark);

// The system font at `points`, for callers not yet on the text styles.
[[nodiscard]] QFont font(qreal points, QFont::Weight weight = QFont::Normal);
[[nodiscard]] QFont monospaced(qreal points, QFont::Weight weight = QFont::Normal);

}  // namespace tarvik::ui::Theme
