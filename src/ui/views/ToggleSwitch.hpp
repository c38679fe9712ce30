#pragma once

#include <QAbstractButton>
#include <QVariantAnimation>

namespace tarvik::ui {

// An on/off switch: a rounded track with a sliding knob, in the accent colour when on. It is a
// checkable button, so `toggled` and `clicked` carry the new state; the knob slides only while the
// switch is on screen.
class ToggleSwitch : public QAbstractButton {
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    void slide();

    QVariantAnimation m_knob;  // 0 off to 1 on
    bool m_on = false;         // the state the knob last slid to
};

}  // namespace tarvik::ui
