#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <optional>
#include <string>
#include <string_view>

#include "core/servers/Server.hpp"

// Every image the views draw: the symbols by their documented names, the brands of server kinds,
// the icons of desktop applications, and the icon of a server made from those.
namespace tarvik::ui::Icons {

// The symbol of a documented name ("server.rack", "chevron.left") in `colour`, `size` logical
// pixels square at `devicePixelRatio`; a null pixmap for a name with no drawing.
[[nodiscard]] QPixmap symbol(std::string_view name, const QColor& colour, int size,
                             qreal devicePixelRatio = 1);
// The same as an icon for buttons and menus.
[[nodiscard]] QIcon symbolIcon(std::string_view name, const QColor& colour, int size = 16);
[[nodiscard]] bool hasSymbol(std::string_view name);

// The brand slug of a server kind's name ("Vite" -> "vite"); nullopt for a kind without a brand.
[[nodiscard]] std::optional<std::string> brandSlug(std::string_view kindName);
// The brand's mark in `colour`; a null pixmap when there is none.
[[nodiscard]] QPixmap brand(std::string_view slug, const QColor& colour, int size,
                            qreal devicePixelRatio = 1);

// The icon the desktop entry at `path` names, from the icon theme; a null pixmap without one.
[[nodiscard]] QPixmap applicationIcon(const std::string& desktopEntryPath, int size);

// What a server's row shows: its brand, else its application's icon, else its kind's symbol in
// its tint on a rounded square of the same tint.
[[nodiscard]] QPixmap serverIcon(const Server& server, int size, bool dark, qreal devicePixelRatio = 1);

}  // namespace tarvik::ui::Icons
