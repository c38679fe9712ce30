#include "ui/MenuBarDisplay.hpp"

#include <QCoreApplication>

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

QString title(MenuBarDisplay display) {
    switch (display) {
        case MenuBarDisplay::memory:
            return QCoreApplication::translate("MenuBarDisplay", "Dev memory");
        case MenuBarDisplay::both:
            return QCoreApplication::translate("MenuBarDisplay", "Both");
        case MenuBarDisplay::count:
            break;
    }
    return QCoreApplication::translate("MenuBarDisplay", "Server count");
}

MenuBarDisplay fromRawValue(std::string_view raw) {
    for (auto display : all)
        if (rawValue(display) == raw) return display;
    return MenuBarDisplay::count;
}

}  // namespace tarvik::ui::MenuBarDisplays
