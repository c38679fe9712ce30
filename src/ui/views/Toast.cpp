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
    setFont(Theme::font(Theme::Text::footnote, QFont::Medium));
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
    // The style sheet's padding, and a pixel each side for rounding.
    const int padding = 2 * Theme::Space::xl + 2;
    const int room = parentWidget()->width();
    const int width =
        std::min(fontMetrics().horizontalAdvance(text()) + padding, room - 2 * Theme::Space::huge);
    const int height = heightForWidth(width);
    setGeometry((room - width) / 2, parentWidget()->height() - height - Theme::Space::xxl, width, height);
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
    const QString sheet = QString("background: %1; color: %2; border-radius: %3px; padding: %4px %5px;")
                              .arg(Theme::color(Theme::Role::text, parentWidget()).name(),
                                   Theme::color(Theme::Role::background, parentWidget()).name())
                              .arg(Theme::Radius::l)
                              .arg(Theme::Space::s)
                              .arg(Theme::Space::xl);
    if (styleSheet() != sheet) setStyleSheet(sheet);
}

}  // namespace tarvik::ui
