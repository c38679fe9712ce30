#pragma once

#include <QPixmap>
#include <string>

#include "ui/ServerStore.hpp"

// What the tray item shows: the rack, the count or memory of the dev servers, and a warning.
namespace tarvik::ui {

struct TrayLabel {
    enum class Warning { none, heat, attention };

    std::string text;  // empty without dev servers
    Warning warning = Warning::none;
    bool operator==(const TrayLabel&) const = default;

    [[nodiscard]] static TrayLabel of(const ServerStore& store);
    // The tooltip: the app's name, then the text and what the warning is about.
    [[nodiscard]] std::string tooltip() const;
    // The icon a tray shows at `height` pixels: the rack symbol, the text beside it, the warning
    // after. As wide as it needs; a tray that crops to a square still shows the rack.
    [[nodiscard]] QPixmap render(int height, bool dark, qreal devicePixelRatio = 1) const;
};

}  // namespace tarvik::ui
