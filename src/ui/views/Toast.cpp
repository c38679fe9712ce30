#include "ui/views/Toast.hpp"

#include <QEvent>
#include <algorithm>

#include "ui/ServerStore.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik::ui {

Toast::Toast(ServerStore& store, QWidget* parent, std::function<bool()> allowed)
    : QLabel(parent), m_store(store), m_allowed(std::move(allowed)) {
    setObjectName("toast");
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
    setFont(Theme::font(9.5, QFont::Medium));
    hide();
    restyle();
    parent->installEventFilter(this);
    connect(&store, &ServerStore::toastChanged, this, &Toast::place);
}

void Toast::place() {
    const auto& toast = m_store.toast();
    setVisible(toast && (!m_allowed || m_allowed()));
    if (!isVisibleTo(parentWidget())) return;
    setText(qs(*toast));
    const int padding = 2 * 12 + 2;  // the style sheet's, and a pixel each side for rounding
    const int room = parentWidget()->width();
    const int width = std::min(fontMetrics().horizontalAdvance(text()) + padding, room - 40);
    const int height = heightForWidth(width);
    setGeometry((room - width) / 2, parentWidget()->height() - height - 14, width, height);
    raise();
}

bool Toast::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) place();
    return false;
}

void Toast::changeEvent(QEvent* event) {
    // Set by hand rather than inherited: the capsule is the palette turned round.
    if (event->type() == QEvent::PaletteChange) restyle();
    QLabel::changeEvent(event);
}

void Toast::restyle() {
    const bool dark = Theme::isDark(parentWidget());
    const QString sheet = QString("background: %1; color: %2; border-radius: 10px; padding: 7px 12px;")
                              .arg(Theme::color(Theme::Role::text, dark).name(),
                                   Theme::color(Theme::Role::background, dark).name());
    if (styleSheet() != sheet) setStyleSheet(sheet);
}

}  // namespace tarvik::ui
