#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvik {

// The application (or system family) a process belongs to.
struct AppOwner {
    std::string name;                       // display name
    std::optional<std::string> bundlePath;  // the owning bundle: an ".app", or on Linux the desktop entry
    bool isSystem = false;                  // part of the operating system

    bool operator==(const AppOwner&) const = default;

    // Process base name -> family name; every member is a system owner.
    [[nodiscard]] static const std::unordered_map<std::string_view, std::string_view>& families();

    // Family first, then the responsible process's bundle or name, then the process's own path.
    [[nodiscard]] static AppOwner resolve(std::string_view path,
                                          const std::optional<std::string>& responsiblePath);

    // The owner of every kernel thread.
    [[nodiscard]] static AppOwner kernel();
};

// A desktop application that started a process, as its systemd unit names it.
struct DesktopApp {
    std::string name;       // the desktop entry's Name
    std::string entryPath;  // the .desktop file
    bool operator==(const DesktopApp&) const = default;
};

namespace AppOwnerResolution {
// The Linux rule: a family still wins; else the desktop application of the process's unit; else
// the process's own path as `AppOwner::resolve` reads it without a responsible path, the system's
// when `systemService` says so, the user's when it says not (a command the user started is theirs
// wherever its binary lives); without it the path decides.
[[nodiscard]] AppOwner resolve(std::string_view path, const std::optional<DesktopApp>& app,
                               std::optional<bool> systemService = std::nullopt);

// Where the service manager says nothing: whether a process with these ancestors (their executable
// paths, parent first) and this real user id is one of the system's. A shell, terminal, editor or
// desktop session among the ancestors makes it a command the user started; else a process of a
// system user (below 1000, root included) is the system's and one of a regular user is theirs.
[[nodiscard]] bool isSystemWithoutServiceManager(const std::vector<std::string_view>& ancestors,
                                                 std::optional<std::uint32_t> uid);
}  // namespace AppOwnerResolution

}  // namespace tarvik
