#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QPalette>

class QMenu;
class QWidget;

namespace tarvik::ui {

class ServerStore;

// The two ways to share the footprint card: as a file in Downloads, or on the clipboard.
class ShareMenu {
    Q_DECLARE_TR_FUNCTIONS(ShareMenu)

public:
    explicit ShareMenu(ServerStore& store) : m_store(store) {}

    // The card for the store's current servers as a PNG at scale 1, in the appearance of
    // `appearance`; empty when it cannot be drawn.
    [[nodiscard]] static QByteArray renderPNG(const ServerStore& store, const QPalette& appearance);

    // In the application's current appearance.
    void saveImage();
    void copyImage();

    // "Save image" and "Copy image", for a button to pop up.
    [[nodiscard]] QMenu* makeMenu(QWidget* parent);
    // The menu under `anchor`, gone once closed. It belongs to the anchor's window, as the anchor
    // itself may be rebuilt away by what the menu does.
    void popUp(QWidget* anchor);

private:
    ServerStore& m_store;
};

}  // namespace tarvik::ui
