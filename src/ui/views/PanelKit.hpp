#pragma once

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QObject>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ui/ShownText.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

class QBoxLayout;
class QKeyEvent;
class QLayout;
class QPainter;

// The small pieces the panel's pages are built from, and the view state they share.
namespace tarvik::ui {

// Shown as a caption where the product introduces itself.
inline constexpr const char* productWebSite = "tarvik.app";

// The panel's one open question, shared by the pages that ask one: "row:ID", "group:TITLE",
// "idle", or "share" for the choices of the share button. Lives as long as the panel; forgotten
// when it closes. `changed()` asks the pages to show it.
class PanelState : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    [[nodiscard]] bool isConfirming(const std::string& key) const { return m_confirming == key; }
    [[nodiscard]] bool isAsking() const { return m_confirming.has_value(); }
    void confirm(const std::string& key);
    void cancel();
    void reset();

signals:
    void changed();

private:
    std::optional<std::string> m_confirming;
};

// A text in a style of the panel's font and one of its colours, which follows the appearance.
QLabel* makeLabel(const QString& text, Theme::Text style, Theme::Role role, QWidget* parent);
// `text` with a break allowed inside every long unbroken run (a path, a folder of 100 letters),
// so a wrapped label can always narrow to the room it gets.
[[nodiscard]] QString breakable(const QString& text);
// A label that wraps `text` (made breakable) to its width.
QLabel* makeWrapped(const QString& text, Theme::Text style, Theme::Role role, QWidget* parent);
QLabel* makeLabel(const QString& text, Theme::Text style, QFont::Weight weight, Theme::Role role,
                  QWidget* parent);
// The same at a size in points; `dark` is not needed any more and is ignored.
QLabel* makeLabel(const QString& text, qreal points, QFont::Weight weight, Theme::Role role, bool dark,
                  QWidget* parent);
// A symbol as a fixed-size picture, drawn again when the appearance switches; an empty square
// keeps the column when there is no drawing.
QLabel* makeSymbol(std::string_view symbol, const Theme::Ink& ink, int size, QWidget* parent);
// A fixed text colour, which an appearance switch does not change: prefer Theme::setForeground.
void setTextColour(QWidget* widget, const QColor& colour);
// A filled circle, `size` pixels across.
QWidget* makeDot(const Theme::Ink& ink, int size, QWidget* parent);
// The button that confirms stopping `count` rows at once: "Stop it?" for one, "Stop all N" for more.
[[nodiscard]] QString stopAllQuestion(int count);
// A hairline between rows.
QWidget* makeSeparator(QWidget* parent);
QWidget* makeSeparator(bool dark, QWidget* parent);
// A destructive button named "confirm" that runs `confirmed` and closes the question, beside
// "Cancel" that only closes it.
QWidget* makeQuestion(const QString& confirmText, std::function<void()> confirmed, PanelState& state,
                      QWidget* parent);
// Deletes every widget and nested layout the layout holds.
void clearLayout(QLayout* layout);
// Shows the widgets of a layout filled while its owner is on screen at once, not on the next turn
// of the event loop, so that a picture taken right after a rebuild has them.
void showItems(QLayout* layout);
// A centred symbol, title and line for a page with nothing to list.
QWidget* makeEmptyState(std::string_view symbol, const QString& title, const QString& line, QWidget* parent);
QWidget* makeEmptyState(std::string_view symbol, const QString& title, const QString& line, bool dark,
                        QWidget* parent);

// Whether `widget` has the focus and the user moved it there with the keyboard: then it shows a ring.
[[nodiscard]] bool showsFocusRing(const QWidget* widget);
// The keyboard focus's ring just inside `area`, in the accent colour unless given another.
void paintFocusRing(QPainter& painter, const QWidget* widget, const QRectF& area, qreal radius,
                    const QColor& colour = {});
// Gives `widget` the focus as Tab does, ring included.
void focusByKeyboard(QWidget* widget);
// Clicks `button` for Enter and Return, which Qt's buttons leave to dialogs; true when it did.
bool clickOnEnter(QAbstractButton* button, const QKeyEvent* event);

// A one-line label that elides its text to the width it gets instead of growing past it (in the
// middle, for paths; at the end, for names), with the whole text as its tooltip while cut.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(const QString& text, QWidget* parent, Qt::TextElideMode mode = Qt::ElideMiddle);
    // In `font` and the colour of `role`, which follows the appearance.
    ElidedLabel(const QString& text, const QFont& font, Theme::Role role, QWidget* parent,
                Qt::TextElideMode mode = Qt::ElideMiddle);
    // Hides QLabel's, to keep the tooltip with the text.
    void setText(const QString& text);
    [[nodiscard]] bool isElided() const;
    [[nodiscard]] QSize minimumSizeHint() const override;
    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateToolTip();

    Qt::TextElideMode m_mode;
};

// A borderless button showing only a symbol, with a soft ground under the mouse. It has no text:
// give it an accessible name.
class SymbolButton : public QAbstractButton {
public:
    SymbolButton(std::string_view symbol, const Theme::Ink& ink, QWidget* parent, int size = 15);
    void setSymbol(std::string_view symbol, const Theme::Ink& ink, qreal rotation = 0);
    [[nodiscard]] QSize sizeHint() const override;
    // Never squeezed by a long text beside it.
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::string m_symbol;
    Theme::Ink m_ink = Theme::Role::secondaryText;
    qreal m_rotation = 0;
    // Drawn in `m_drawnIn`, again once the ink resolves to another colour.
    QPixmap m_pixmap;
    QColor m_drawnIn;
    int m_size;
};

// A rounded text button, optionally with a symbol before the text.
class CapsuleButton : public QAbstractButton {
public:
    enum class Style { plain, prominent, destructive, tab };
    CapsuleButton(const QString& text, Style style, QWidget* parent, std::string_view symbol = {});
    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    [[nodiscard]] QColor textColour() const;

    Style m_style;
    std::string m_symbol;
};

}  // namespace tarvik::ui
