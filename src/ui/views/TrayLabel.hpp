#pragma once

#include <QIcon>
#include <QPixmap>
#include <array>
#include <string>

#include "ui/ServerStore.hpp"

// What the tray item shows: the rack, the count or memory of the dev servers, and a warning.
namespace tarvik::ui {

struct TrayLabel {
    enum class Warning { none, heat, attention };
    // The brightness of the bar the tray sits on, where it is known.
    enum class Bar { unknown, light, dark };

    std::string text;  // empty without dev servers
    Warning warning = Warning::none;
    int count = 0;  // dev server rows
    bool operator==(const TrayLabel&) const = default;

    // The sizes, in pixels, that tray hosts ask for.
    static constexpr std::array<int, 6> sizes = {16, 22, 24, 32, 48, 64};

    [[nodiscard]] static TrayLabel of(const ServerStore& store);
    // The tooltip: the app's name, then the text and what the warning is about.
    [[nodiscard]] QString tooltip() const;
    // The square icon of `size` pixels: the rack, with a badge in its lower right corner that holds
    // the warning's mark, else the count; no badge without either. On an unknown bar the drawing is
    // light with a dark outline, so that it reads on light and dark bars alike.
    [[nodiscard]] QPixmap icon(int size, Bar bar = Bar::unknown) const;
    // The icon at every size of `sizes`, for the host to pick from.
    [[nodiscard]] QIcon icons(Bar bar = Bar::unknown) const;
};

}  // namespace tarvik::ui
