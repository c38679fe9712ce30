#pragma once

#include <QWidget>
#include <functional>
#include <vector>

class QPropertyAnimation;

namespace tarvik::ui {

class CapsuleButton;

// The panel's tabs as equal segments of a track, the selected one marked by a pill that slides
// to it.
class PanelTabBar : public QWidget {
public:
    struct Tab {
        QString name;  // the button's object name
        QString title;
    };
    PanelTabBar(const std::vector<Tab>& tabs, QWidget* parent);

    // Runs when the user picks a tab, after the pill set off.
    std::function<void(int)> onSelect;

    void select(int index);
    [[nodiscard]] int current() const { return m_current; }
    // Off for pictures of the panel: the pill jumps instead of sliding.
    void setAnimated(bool animated) { m_animated = animated; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    [[nodiscard]] QRect segment(int index) const;

    std::vector<CapsuleButton*> m_buttons;
    QWidget* m_pill;
    QPropertyAnimation* m_slide;
    int m_current = 0;
    bool m_animated = true;
};

}  // namespace tarvik::ui
