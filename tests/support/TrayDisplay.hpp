#pragma once

#include <memory>
#include <string>

#include "support/TestProcess.hpp"

namespace tarvik::test {

// An X display with a system tray: Xvfb on a free display number and trayer docked on it.
class TrayDisplay {
public:
    // Sets DISPLAY and the xcb platform for this process; nullptr when either program is missing
    // or does not start.
    static std::unique_ptr<TrayDisplay> start();

    static inline TrayDisplay* current = nullptr;
    [[nodiscard]] const std::string& display() const { return m_display; }
    // Starts the tray host docked at the top or the bottom of the screen (a no-op while one runs)
    // or ends it, for a tray that comes and goes.
    void startTray(const std::string& edge = "top");
    void stopTray() { m_tray.reset(); }
    // Clicks the left button at a point of the screen; false when the click could not be sent.
    bool click(int x, int y) const;

private:
    std::string m_display;
    std::unique_ptr<TestProcess> m_server, m_tray;  // the tray host goes first
};

}  // namespace tarvik::test
