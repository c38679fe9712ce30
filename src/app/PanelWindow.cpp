#include "app/PanelWindow.hpp"

#include <fmt/format.h>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ClosedViews.hpp"
#include "core/support/DebugLog.hpp"
#include "ui/views/PanelView.hpp"
#include "ui/views/SettingsView.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/TidyView.hpp"

namespace tarvik::app {

namespace {

constexpr int radius = ui::Theme::Radius::xl;
constexpr int margin = ui::Theme::Space::m;  // from the screen's edges and the icon
constexpr int frame = ui::Theme::Space::hairline;

}  // namespace

PanelWindow::Kind PanelWindow::kindForPlatform() {
    return QGuiApplication::platformName().startsWith("wayland") ? Kind::window : Kind::popup;
}

PanelWindow::PanelWindow(ui::ServerStore& store, Kind kind)
    : QWidget(nullptr, kind == Kind::popup ? Qt::Popup | Qt::FramelessWindowHint : Qt::Window), m_kind(kind) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(tr("Tarvik"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(frame, frame, frame, frame);
    m_view = new ui::PanelView(store, this);
    m_view->setSubPages(new ui::TidyView(store), new ui::SettingsView(store));
    layout->addWidget(m_view);
    connect(m_view, &ui::PanelView::dashboardRequested, this, [this] {
        hide();
        emit dashboardRequested();
    });
    resize(ui::Theme::Size::panel);
    m_release.setSingleShot(true);
    m_release.setInterval(keepRowsMs);
    connect(&m_release, &QTimer::timeout, this, &PanelWindow::releaseHidden);
}

void PanelWindow::releaseHidden() {
    if (isVisible()) return;
    m_view->releaseRows();
    // The native window and its backing store, an image of the panel's size shared with the display
    // server, are made again on showing.
    destroy();
    releaseClosedViewMemory();
}

QSize PanelWindow::fittedSize(const QRect& screen) {
    const QSize panel = ui::Theme::Size::panel + QSize(2 * frame, 2 * frame);
    return {panel.width(), std::min(panel.height(), screen.height() - 2 * margin)};
}

QPoint PanelWindow::placement(const QRect& anchor, const QSize& panel, const QRect& screen) {
    // Edges as coordinates between pixels: a rectangle ends where the next begins.
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    QPoint at;
    if (anchor.isEmpty()) {
        at = QPoint(screenRight - margin - panel.width(), screen.y() + margin);
    } else {
        at.setX(anchor.x() + anchor.width() / 2 - panel.width() / 2);
        // A tray at the bottom of the screen opens the panel upwards.
        const bool below = anchor.y() + anchor.height() / 2 < screen.y() + screen.height() / 2;
        at.setY(below ? anchor.y() + anchor.height() + margin : anchor.y() - margin - panel.height());
    }
    at.setX(std::clamp(at.x(), screen.x() + margin,
                       std::max(screen.x() + margin, screenRight - margin - panel.width())));
    at.setY(std::clamp(at.y(), screen.y() + margin,
                       std::max(screen.y() + margin, screenBottom - margin - panel.height())));
    return at;
}

QPoint PanelWindow::placementAtPointer(const QPoint& click, const QSize& panel, const QRect& screen) {
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    QPoint at = click;
    if (at.x() + panel.width() > screenRight - margin) at.setX(click.x() - panel.width());
    if (at.y() + panel.height() > screenBottom - margin) at.setY(click.y() - panel.height());
    at.setX(std::clamp(at.x(), screen.x() + margin,
                       std::max(screen.x() + margin, screenRight - margin - panel.width())));
    at.setY(std::clamp(at.y(), screen.y() + margin,
                       std::max(screen.y() + margin, screenBottom - margin - panel.height())));
    return at;
}

namespace {

QRect freeArea(const QPoint& point, bool known) {
    QScreen* screen = known ? QGuiApplication::screenAt(point) : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
}

}  // namespace

void PanelWindow::showAt(const QRect& anchor) {
    if (!isVisible()) m_sinceShown.start();
    const QRect screen = freeArea(anchor.center(), !anchor.isEmpty());
    settle(screen);
    move(placement(anchor, size(), screen));
    present();
}

void PanelWindow::showAtPointer(const QPoint& click) {
    if (!isVisible()) m_sinceShown.start();
    const QRect screen = freeArea(click, true);
    settle(screen);
    move(placementAtPointer(click, size(), screen));
    present();
}

void PanelWindow::showPlacedByDesktop() {
    if (!isVisible()) m_sinceShown.start();
    // The compositor picks the screen; the one the window was last on is the best guess at it.
    QScreen* last = screen() ? screen() : QGuiApplication::primaryScreen();
    settle(last ? last->availableGeometry() : freeArea({}, false));
    present();
}

void PanelWindow::present() {
    // A window whose least and greatest sizes agree is one that tiling compositors float rather
    // than stretch over the screen.
    if (m_kind == Kind::window) setFixedSize(size());
    show();
    raise();
    activateWindow();
}

void PanelWindow::settle(const QRect& screen) {
    const QSize fitted = fittedSize(screen);
    m_view->fitHeight(fitted.height() - 2 * frame);
    // A window is held to the size it was last shown at; it is fitted afresh.
    if (m_kind == Kind::window) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    resize(fitted);
    // The layout grows the window to its contents' minimum when first shown; placing it by the
    // size before that would let it hang past the screen's edge.
    ensurePolished();
    layout()->activate();
}

void PanelWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The compositor frames the window; a mask would only cut its corners off.
    if (m_kind == Kind::window) return;
    // A mask rounds the corners without needing a compositor.
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), radius, radius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void PanelWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        // The first Escape closes the question the panel asks, the next the panel.
        if (!m_view->cancelQuestion()) hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PanelWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A popup closes by itself on a click elsewhere; the window does when something else takes
    // the focus.
    if (event->type() == QEvent::ActivationChange && m_kind == Kind::window && isVisible() &&
        !isActiveWindow())
        hide();
}

void PanelWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_release.start();
}

void PanelWindow::paintEvent(QPaintEvent*) {
    if (m_sinceShown.isValid() && DebugLog::enabled()) {
        // The children paint after this, in the same pass; a queued call runs once all have.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_sinceShown.isValid()) return;
                DebugLog::say(fmt::format("panel painted {:.1f} ms after it was asked for",
                                          double(m_sinceShown.nsecsElapsed()) / 1e6));
                m_sinceShown.invalidate();
            },
            Qt::QueuedConnection);
    }
    QPainter painter(this);
    if (m_kind == Kind::window) {
        painter.fillRect(rect(), ui::Theme::color(ui::Theme::Role::background, this));
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(ui::Theme::color(ui::Theme::Role::separator, this));
    painter.setBrush(ui::Theme::color(ui::Theme::Role::background, this));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

}  // namespace tarvik::app
