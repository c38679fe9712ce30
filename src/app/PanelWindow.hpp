#pragma once

#include <QWidget>

#include "ui/ServerStore.hpp"

namespace tarvik::ui {
class PanelView;
}

namespace tarvik::app {

// The panel as a popup that hangs from the tray icon: frameless, rounded, closed by a click
// elsewhere.
class PanelWindow : public QWidget {
    Q_OBJECT

public:
    explicit PanelWindow(ui::ServerStore& store);

    // Shows the panel under (or, at the bottom of a screen, above) `anchor`, the tray icon's place
    // in global coordinates, kept on that screen. An empty anchor puts it at the top right.
    void showAt(const QRect& anchor);
    [[nodiscard]] ui::PanelView& view() const { return *m_view; }
    // Where the panel goes for `anchor` on a screen whose free area is `screen`.
    [[nodiscard]] static QPoint placement(const QRect& anchor, const QSize& panel, const QRect& screen);

signals:
    void dashboardRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    ui::PanelView* m_view = nullptr;
};

}  // namespace tarvik::app
