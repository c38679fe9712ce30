#pragma once

#include <string>

#include "ui/Services.hpp"

namespace tarvik::ui {

// Starting at login through the XDG autostart entry CONFIG/autostart/tarvik.desktop.
class AutostartLoginItem : public LoginItem {
public:
    // $XDG_CONFIG_HOME, else ~/.config.
    [[nodiscard]] static std::string defaultConfigHome();

    // `executable` is the absolute path the entry starts; empty means this application's.
    explicit AutostartLoginItem(std::string configHome = defaultConfigHome(), std::string executable = {});

    // The entry is a file and neither hides itself nor turns itself off.
    [[nodiscard]] bool isEnabled() override;
    // Enabling writes the entry whole or not at all; disabling removes it (or the link standing in
    // its place), and succeeds when there is none.
    std::optional<std::string> setEnabled(bool enabled) override;

private:
    std::string m_configHome;
    std::string m_executable;
    std::string m_entry;
};

}  // namespace tarvik::ui
