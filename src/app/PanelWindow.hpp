#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include "ui/ServerStore.hpp"

namespace tarvik::ui {
class PanelView;
}

namespace tarvik::app {

// The panel as a popup that hangs from the tray icon: frameless, rounded, closed by a click
// elsewhere. Where windows cannot place themselves (Wayland) it is instead a titled window of a
// fixed size, which tiling compositors float, placed by the compositor.
class PanelWindow : public QWidget {
    Q_OBJECT

public:
    // How long a hidden panel keeps its rows: a panel opened again soon shows at once, one closed
    // for longer gives their memory back.
    static constexpr int keepRowsMs = 20'000;

    enum class Kind { popup, window };
    // The kind this platform needs: a window on Wayland, a popup elsewhere.
    [[nodiscard]] static Kind kindForPlatform();

    explicit PanelWindow(ui::ServerStore& store, Kind kind = kindForPlatform());
    [[nodiscard]] Kind kind() const { return m_kind; }
    // What a panel hidden for `keepRowsMs` gives back: its rows, its native window and what the
    // allocator keeps of them. Nothing while it shows.
    void releaseHidden();

    // Shows the panel under (or, at the bottom of a screen, above) `anchor`, the tray icon's place
    // in global coordinates, kept on that screen. An empty anchor puts it at the top right.
    void showAt(const QRect& anchor);
    // Shows the panel with a corner at `click`, a point in global coordinates, for trays that do
    // not say where their icon is; kept on the screen that holds the point.
    void showAtPointer(const QPoint& click);
    // Shows the panel wherever the compositor puts it, for platforms where windows cannot place
    // themselves. Both kinds close on Escape; a window also closes when it loses the focus.
    void showPlacedByDesktop();
    [[nodiscard]] ui::PanelView& view() const { return *m_view; }
    // Where the panel goes for `anchor` on a screen whose free area is `screen`.
    [[nodiscard]] static QPoint placement(const QRect& anchor, const QSize& panel, const QRect& screen);
    // The window's size on a screen whose free area is `screen`: the panel's, or shorter, to keep
    // it whole on a short screen (or one scaled up), a margin from each edge.
    [[nodiscard]] static QSize fittedSize(const QRect& screen);
    // Where the panel goes for a click at `click` on a screen whose free area is `screen`: its top
    // left corner at the click, flipped to the left of it and above it where the panel would leave
    // the screen, and pushed inside where it fits neither way.
    [[nodiscard]] static QPoint placementAtPointer(const QPoint& click, const QSize& panel,
                                                   const QRect& screen);

signals:
    void dashboardRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Fits the window to the screen whose free area is `screen`, then lays it out.
    void settle(const QRect& screen);

    void present();

    Kind m_kind;
    ui::PanelView* m_view = nullptr;
    QElapsedTimer m_sinceShown;  // from a show until its first paint, for the debug log
    QTimer m_release;            // from a hide until the rows go
};

}  // namespace tarvik::app
