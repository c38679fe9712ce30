#pragma once

#include <memory>
#include <optional>
#include <string>

#include "support/TempDir.hpp"
#include "support/TestProcess.hpp"

namespace tarvik::test {

// A Wayland compositor for the tests: sway on a headless output of 1280 x 800, run as the user
// nobody (it refuses to run as root) with a runtime folder of its own. Ended with the object,
// with everything it started.
class HeadlessSway {
public:
    // nullptr, with the reason in `why`, when sway is missing, the test does not run as root (it
    // must be to start sway as another user) or sway does not come up within a few seconds.
    static std::unique_ptr<HeadlessSway> start(std::string& why);

    // The absolute path of the compositor's socket, for WAYLAND_DISPLAY.
    [[nodiscard]] const std::string& waylandDisplay() const { return m_wayland; }
    // `swaymsg -t get_tree` as JSON text; empty when sway did not answer.
    [[nodiscard]] std::string tree() const;
    // Writes a picture of the whole output to `png` (with grim); false when it could not.
    bool screenshot(const std::string& png) const;

private:
    HeadlessSway() = default;

    TempDir m_folder;
    std::string m_runtime, m_wayland, m_ipc;
    std::optional<TestProcess> m_sway;
};

}  // namespace tarvik::test
