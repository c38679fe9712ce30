#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/servers/Server.hpp"

// Every image the views draw: the symbols by their Phosphor names, the brands of server kinds,
// the icons of desktop applications, and the icon of a server made from those. Rendered pixmaps
// are cached, so call these on the GUI thread only.
namespace tarvik::ui::Icons {

// The symbol of a Phosphor icon's file name ("hard-drives", "caret-left", "fire") in `colour`,
// `size` logical pixels square at `devicePixelRatio`; a null pixmap for a name with no drawing.
[[nodiscard]] QPixmap symbol(std::string_view name, const QColor& colour, int size,
                             qreal devicePixelRatio = 1);
// The same as an icon for buttons and menus.
[[nodiscard]] QIcon symbolIcon(std::string_view name, const QColor& colour, int size = 16);
[[nodiscard]] bool hasSymbol(std::string_view name);
// Every name that has a drawing.
[[nodiscard]] std::vector<std::string> symbolNames();

// The brand slug of a server kind's name ("Vite" -> "vite"); nullopt for a kind without a brand.
[[nodiscard]] std::optional<std::string> brandSlug(std::string_view kindName);
// Every kind name that has a brand.
[[nodiscard]] std::vector<std::string> brandedKindNames();
// The brand's mark in `colour`; a null pixmap when there is none.
[[nodiscard]] QPixmap brand(std::string_view slug, const QColor& colour, int size,
                            qreal devicePixelRatio = 1);

// The symbol or the brand mark in `tint`, inset on a rounded square of the same tint at 15 %
// opacity, `size` logical pixels square; a null pixmap when the drawing is missing.
[[nodiscard]] QPixmap tiledSymbol(std::string_view name, const QColor& tint, int size,
                                  qreal devicePixelRatio = 1);
[[nodiscard]] QPixmap tiledBrand(std::string_view slug, const QColor& tint, int size,
                                 qreal devicePixelRatio = 1);

// The icon the desktop entry at `path` names with its Icon= key: the image at that path when it is
// absolute, else the theme's icon of that name, fitted into `size` logical pixels square. A null
// pixmap when the entry or the icon is missing.
[[nodiscard]] QPixmap applicationIcon(const std::string& desktopEntryPath, int size,
                                      qreal devicePixelRatio = 1);

// What a server's row shows: its kind's brand tiled in the kind's tint, else the icon of the
// application whose desktop entry `desktopEntryPath` names, else its kind's symbol tiled ("hard-drives"
// when that symbol has no drawing).
[[nodiscard]] QPixmap serverIcon(const Server& server, int size, bool dark, qreal devicePixelRatio = 1);

}  // namespace tarvik::ui::Icons
