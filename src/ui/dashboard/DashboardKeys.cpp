#include "ui/dashboard/DashboardKeys.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

// Drawn over the edge of the control it lies on, so that no neighbour or scrolled frame cuts it.
class FocusRing : public QWidget {
public:
    explicit FocusRing(QWidget* target) : QWidget(target) {
        setObjectName("focusRing");
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        target->installEventFilter(this);
        setGeometry(target->rect());
        show();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Theme::color(Theme::Role::accent, this), 2));
        painter.setBrush(Qt::NoBrush);
        // The tiles and rows are drawn rounder than the buttons.
        const int radius = height() >= 40 ? Theme::Radius::l : Theme::Radius::s;
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), radius, radius);
    }
};

bool byKeyboard(Qt::FocusReason reason) {
    return reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason;
}

}  // namespace

DashboardKeys::DashboardKeys(QWidget* view) : QObject(view), m_view(view) {
    qApp->installEventFilter(this);
}

bool DashboardKeys::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::FocusIn && type != QEvent::FocusOut && type != QEvent::KeyPress) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) return false;
    if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        (widget == m_view->window() || m_view->window()->isAncestorOf(widget)))
        return cancelQuestions();
    if (!m_view->isAncestorOf(widget)) return false;
    switch (type) {
        case QEvent::FocusIn: {
            // Coming back to the window, the focus wears the ring it wore when the window was left.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason) m_byKeyboard = byKeyboard(reason);
            ring(m_byKeyboard ? widget : nullptr);
            break;
        }
        case QEvent::FocusOut:
            ring(nullptr);
            break;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            auto* button = qobject_cast<QAbstractButton*>(widget);
            if (button && button->hasFocus() && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
                button->click();
                return true;
            }
            break;
        }
        default:
            break;
    }
    return false;
}

bool DashboardKeys::cancelQuestions() {
    std::vector<QAbstractButton*> shown;
    for (auto* button : m_view->findChildren<QAbstractButton*>("cancel"))
        if (button->isVisible()) shown.push_back(button);
    for (auto* button : shown) button->click();
    return !shown.empty();
}

bool DashboardKeys::paintsOwnRing(const QWidget* widget) {
    return dynamic_cast<const CapsuleButton*>(widget) || dynamic_cast<const SymbolButton*>(widget);
}

void DashboardKeys::ring(QWidget* target) {
    if (target && paintsOwnRing(target)) target = nullptr;
    if (m_ring && m_ringTarget == target) return;
    if (m_ring) {
        m_ring->hide();
        m_ring->deleteLater();
    }
    m_ring = target ? new FocusRing(target) : nullptr;
    m_ringTarget = target;
}

}  // namespace tarvik::ui
