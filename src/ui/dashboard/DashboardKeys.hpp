#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace tarvik::ui {

// The dashboard's keyboard: the control the keyboard moved to wears a ring (the panel kit's
// buttons draw their own), Return and Enter click a focused button, and Escape answers "Cancel" to
// the questions open on view. It watches the application's events for those of the view's widgets.
class DashboardKeys : public QObject {
public:
    explicit DashboardKeys(QWidget* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Clicks every "cancel" button on view; false when there was none.
    bool cancelQuestions();
    void ring(QWidget* target);
    // The panel kit's buttons draw the ring themselves; a second one would double it.
    static bool paintsOwnRing(const QWidget* widget);

    QWidget* m_view;
    QPointer<QWidget> m_ring;
    QPointer<QWidget> m_ringTarget;  // what the ring is drawn around
    bool m_byKeyboard = false;       // how the focus last came
};

}  // namespace tarvik::ui
