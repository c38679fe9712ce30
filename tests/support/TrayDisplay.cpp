#include "support/TrayDisplay.hpp"

#include <unistd.h>
#include <cstdlib>

#include "core/support/Spawn.hpp"

namespace tarvik::test {

namespace {

constexpr const char* xvfb = "/usr/bin/Xvfb";
constexpr const char* trayer = "/usr/bin/trayer";
constexpr const char* xdotool = "/usr/bin/xdotool";

}  // namespace

std::unique_ptr<TrayDisplay> TrayDisplay::start() {
    if (access(xvfb, X_OK) != 0 || access(trayer, X_OK) != 0) return nullptr;
    auto display = std::unique_ptr<TrayDisplay>(new TrayDisplay);
    // Xvfb picks a free display number and prints it on the descriptor it is given: its stdout.
    display->m_server = std::make_unique<TestProcess>(
        std::vector<std::string>{xvfb, "-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    display->m_display = ":" + display->m_server->firstLine(15);
    if (display->m_display == ":") return nullptr;
    setenv("DISPLAY", display->m_display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    display->startTray();
    return display;
}

void TrayDisplay::startTray(const std::string& edge) {
    if (m_tray) return;
    // Docked at the right, as a panel's tray usually is.
    m_tray = std::make_unique<TestProcess>(std::vector<std::string>{
        trayer, "--edge", edge, "--align", "right", "--widthtype", "request", "--height", "24",
        "--SetDockType", "true", "--transparent", "false", "--tint", "0x202020"});
}

bool TrayDisplay::click(int x, int y) const {
    if (access(xdotool, X_OK) != 0) return false;
    const std::vector<std::string> arguments = {"mousemove",       "--sync", std::to_string(x),
                                                std::to_string(y), "click",  "1"};
    return Spawn::run(xdotool, arguments, std::chrono::seconds(10)).status == 0;
}

}  // namespace tarvik::test
