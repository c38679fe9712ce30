#include "support/HeadlessSway.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "core/support/Spawn.hpp"

namespace tarvik::test {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uid_t nobody = 65534;
constexpr const char* sway = "/usr/bin/sway";
constexpr const char* swaymsg = "/usr/bin/swaymsg";
constexpr const char* grim = "/usr/bin/grim";
constexpr const char* setpriv = "/usr/bin/setpriv";

// setpriv's arguments to run `argv` as nobody with only `environment` ("KEY=value").
std::vector<std::string> asNobody(const std::vector<std::string>& environment,
                                  const std::vector<std::string>& argv) {
    std::vector<std::string> all = {"--reuid=" + std::to_string(nobody), "--regid=" + std::to_string(nobody),
                                    "--clear-groups"};
    for (auto& argument : withOnly(environment, argv)) all.push_back(std::move(argument));
    return all;
}

// The first entry of `folder` whose name starts with `prefix` and is a socket.
std::string socketIn(const std::string& folder, const std::string& prefix) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().filename().string().starts_with(prefix) && entry.is_socket(error))
            return entry.path().string();
    return {};
}

}  // namespace

std::unique_ptr<HeadlessSway> HeadlessSway::start(std::string& why) {
    for (const char* program : {sway, swaymsg, setpriv})
        if (access(program, X_OK) != 0) {
            why = std::string("no ") + program;
            return nullptr;
        }
    if (geteuid() != 0) {
        why = "not root: sway refuses root, and only root can start it as the user nobody";
        return nullptr;
    }
    std::unique_ptr<HeadlessSway> self(new HeadlessSway);
    // The folder, private already, becomes the compositor's runtime folder.
    const std::string runtime = self->m_runtime = self->m_folder.path(), config = runtime + "/config";
    std::ofstream(config) << "xwayland disable\noutput HEADLESS-1 resolution 1280x800\n";
    if (chown(runtime.c_str(), nobody, nobody) != 0 || chown(config.c_str(), nobody, nobody) != 0) {
        why = "could not hand a runtime folder to nobody";
        return nullptr;
    }
    auto argv = asNobody({"HOME=" + runtime, "XDG_RUNTIME_DIR=" + runtime, "WLR_BACKENDS=headless",
                          "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"},
                         {sway, "-c", config});
    argv.insert(argv.begin(), setpriv);
    self->m_sway.emplace(argv);
    // A busy machine may take seconds to bring it up; it is ready once it answers on its socket.
    for (auto deadline = std::chrono::steady_clock::now() + 30s;
         std::chrono::steady_clock::now() < deadline && !self->m_sway->exitStatus();
         std::this_thread::sleep_for(100ms)) {
        self->m_ipc = socketIn(runtime, "sway-ipc.");
        self->m_wayland = socketIn(runtime, "wayland-");
        if (!self->m_ipc.empty() && !self->m_wayland.empty() && !self->tree().empty()) return self;
    }
    why = "sway did not start";
    return nullptr;
}

std::string HeadlessSway::tree() const {
    auto result = Spawn::run(setpriv, asNobody({"SWAYSOCK=" + m_ipc}, {swaymsg, "-t", "get_tree"}), 10s);
    return result.status == 0 ? result.output : std::string();
}

bool HeadlessSway::screenshot(const std::string& png) const {
    if (access(grim, X_OK) != 0) return false;
    // grim writes as nobody into the compositor's folder; the picture is copied out from there.
    const std::string shot = m_runtime + "/screen.png";
    auto result = Spawn::run(
        setpriv, asNobody({"XDG_RUNTIME_DIR=" + m_runtime, "WAYLAND_DISPLAY=" + m_wayland}, {grim, shot}),
        10s);
    std::error_code error;
    return result.status == 0 && fs::copy_file(shot, png, fs::copy_options::overwrite_existing, error);
}

}  // namespace tarvik::test
