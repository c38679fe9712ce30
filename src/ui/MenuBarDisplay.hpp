#pragma once

#include <QString>
#include <array>
#include <string_view>

namespace tarvik::ui {

// What the tray label shows.
enum class MenuBarDisplay { count, memory, both };

namespace MenuBarDisplays {
inline constexpr std::array all{MenuBarDisplay::count, MenuBarDisplay::memory, MenuBarDisplay::both};
// "count", "memory", "both": how the choice is stored.
[[nodiscard]] std::string_view rawValue(MenuBarDisplay display);
// The picker's label: "Server count", "Dev memory", "Both".
[[nodiscard]] QString title(MenuBarDisplay display);
// `count` for anything but the three raw values.
[[nodiscard]] MenuBarDisplay fromRawValue(std::string_view raw);
}  // namespace MenuBarDisplays

}  // namespace tarvik::ui
