#pragma once

#include <string>
#include <vector>

#include "ui/Services.hpp"

namespace tarvik::ui {

// Starting at login through the XDG autostart entry CONFIG/autostart/tarvik.desktop. Where Tarvik
// is installed, the entry is a copy of the installed one (DATA/tarvik/tarvik-autostart.desktop),
// which starts the installed program whichever copy of it turned the switch on; otherwise it
// starts the executable given.
class AutostartLoginItem : public LoginItem {
public:
    // $XDG_CONFIG_HOME, else ~/.config.
    [[nodiscard]] static std::string defaultConfigHome();
    // $XDG_DATA_DIRS, else /usr/local/share and /usr/share.
    [[nodiscard]] static std::vector<std::string> defaultDataDirs();

    // `executable` is the absolute path the entry starts; empty means this application's. The
    // installed entry is looked for first beside it (EXECUTABLE/../../share), then in `dataDirs`
    // in order.
    explicit AutostartLoginItem(std::string configHome = defaultConfigHome(), std::string executable = {},
                                std::vector<std::string> dataDirs = defaultDataDirs());

    // The entry is a file and neither hides itself nor turns itself off.
    [[nodiscard]] bool isEnabled() override;
    // Enabling writes the entry whole or not at all; disabling removes it (or the link standing in
    // its place), and succeeds when there is none.
    std::optional<std::string> setEnabled(bool enabled) override;

private:
    // The text to write: the installed entry's when one is found.
    [[nodiscard]] std::string entryText() const;

    std::string m_configHome;
    std::string m_executable;
    std::vector<std::string> m_dataDirs;
    std::string m_entry;
};

}  // namespace tarvik::ui
