#include "ui/views/PanelTabBar.hpp"

#include <QPainter>
#include <QPropertyAnimation>

#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

constexpr int inset = 3;

class Pill : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool dark = Theme::isDark(this);
        const QColor separator = Theme::color(Theme::Role::separator, this);
        painter.setPen(QPen(dark ? separator.lighter(130) : separator, 1));
        painter.setBrush(dark ? separator : Theme::color(Theme::Role::card, this));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), Theme::Radius::s,
                                Theme::Radius::s);
    }
};

}  // namespace

PanelTabBar::PanelTabBar(const std::vector<Tab>& tabs, QWidget* parent)
    : QWidget(parent), m_pill(new Pill(this)), m_slide(new QPropertyAnimation(m_pill, "geometry", this)) {
    setFixedHeight(26 + 2 * inset);
    m_slide->setDuration(180);
    m_slide->setEasingCurve(QEasingCurve::OutCubic);
    for (const auto& tab : tabs) {
        auto* button = new CapsuleButton(tab.title, CapsuleButton::Style::tab, this);
        button->setObjectName(tab.name);
        button->setCheckable(true);
        const int index = static_cast<int>(m_buttons.size());
        connect(button, &QAbstractButton::clicked, this, [this, index] {
            select(index);
            if (onSelect) onSelect(index);
        });
        m_buttons.push_back(button);
    }
    select(0);
}

QRect PanelTabBar::segment(int index) const {
    const int count = static_cast<int>(m_buttons.size());
    const int width = this->width() - 2 * inset;
    const int left = inset + width * index / count;
    return {left, inset, inset + width * (index + 1) / count - left, height() - 2 * inset};
}

void PanelTabBar::select(int index) {
    m_current = index;
    for (std::size_t i = 0; i < m_buttons.size(); ++i) m_buttons[i]->setChecked(static_cast<int>(i) == index);
    m_slide->stop();
    if (m_animated && isVisible()) {
        m_slide->setStartValue(m_pill->geometry());
        m_slide->setEndValue(segment(index));
        m_slide->start();
    } else {
        m_pill->setGeometry(segment(index));
    }
}

void PanelTabBar::resizeEvent(QResizeEvent*) {
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        m_buttons[i]->setGeometry(segment(static_cast<int>(i)));
        m_buttons[i]->raise();
    }
    m_slide->stop();
    m_pill->setGeometry(segment(m_current));
}

void PanelTabBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::isDark(this) ? QColor(255, 255, 255, 14) : QColor(0, 0, 0, 12));
    painter.drawRoundedRect(QRectF(rect()), Theme::Radius::m, Theme::Radius::m);
}

}  // namespace tarvik::ui
