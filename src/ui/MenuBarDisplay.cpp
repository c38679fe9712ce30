#include "ui/MenuBarDisplay.hpp"

namespace tarvik::ui::MenuBarDisplays {

std::string_view rawValue(MenuBarDisplay display) {
    switch (display) {
        case MenuBarDisplay::memory:
            return "memory";
        case MenuBarDisplay::both:
            return "both";
        case MenuBarDisplay::count:
            break;
    }
    return "count";
}

std::string_view title(MenuBarDisplay display) {
    switch (display) {
        case MenuBarDisplay::memory:
            return "Dev memory";
        case MenuBarDisplay::both:
            return "Both";
        case MenuBarDisplay::count:
            break;
    }
    return "Server count";
}

MenuBarDisplay fromRawValue(std::string_view raw) {
    for (auto display : all)
        if (rawValue(display) == raw) return display;
    return MenuBarDisplay::count;
}

}  // namespace tarvik::ui::MenuBarDisplays
