#include "ui/views/ShareMenu.hpp"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QLayout>
#include <QMenu>

#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/views/ShareCard.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik::ui {

QByteArray ShareMenu::renderPNG(const ServerStore& store, const QPalette& appearance) {
    ShareCard card(store.footprint(), store.projectUsage(), store.devServerCount(), appearance);
    // Laid out without being shown: a window appearing would close an open panel, a popup.
    card.ensurePolished();
    card.layout()->activate();
    QImage image(ShareCard::width, ShareCard::height, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1.0);
    image.fill(Qt::transparent);
    card.render(&image);
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return {};
    return png;
}

void ShareMenu::saveImage() {
    m_store.saveImage(renderPNG(m_store, QPalette()));
}

void ShareMenu::copyImage() {
    m_store.copyImage(renderPNG(m_store, QPalette()));
}

QMenu* ShareMenu::makeMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const QColor colour = Theme::color(Theme::Role::text, QPalette());
    auto& store = m_store;
    menu->addAction(Icons::symbolIcon("square.and.arrow.down", colour), tr("Save image"), menu,
                    [&store] { ShareMenu(store).saveImage(); });
    menu->addAction(Icons::symbolIcon("doc.on.doc", colour), tr("Copy image"), menu,
                    [&store] { ShareMenu(store).copyImage(); });
    return menu;
}

void ShareMenu::popUp(QWidget* anchor) {
    QMenu* menu = makeMenu(anchor->window());
    menu->setObjectName("shareMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(anchor->mapToGlobal(QPoint(0, anchor->height())));
}

}  // namespace tarvik::ui
