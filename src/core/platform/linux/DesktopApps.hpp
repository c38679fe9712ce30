#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/processes/AppOwner.hpp"

namespace tarvik::DesktopApps {

// The application id a process's systemd unit names, from /proc/PID/cgroup. Desktops start
// applications in units named app[-LAUNCHER]-APPID[@RANDOM].service or
// app[-LAUNCHER]-APPID-RANDOM.scope, or in a slice app-APPID.slice
// (https://systemd.io/DESKTOP_ENVIRONMENTS/); the innermost such unit wins. The id keeps its
// launcher prefix, if any; `candidates` says which ids to look up. nullopt outside such units. A
// unit whose id would hold a "/" or a NUL is passed over, as no desktop entry has such an id.
[[nodiscard]] std::optional<std::string> unitApplication(std::string_view cgroupText);

// Whether the process's cgroup is one of the system's services (system.slice, init.scope: true) or
// inside a user's session (user.slice, which holds user@UID.service and the session scopes:
// false); nullopt for anything else, such as the bare "/" of a container or a machine without
// systemd.
[[nodiscard]] std::optional<bool> systemService(std::string_view cgroupText);

// The ids worth looking up for a unit's application text, most specific first: the text itself,
// then without a launcher prefix ("gnome-org.gnome.Terminal" -> "org.gnome.Terminal").
[[nodiscard]] std::vector<std::string> candidates(std::string_view application);

// The Name of a desktop entry's [Desktop Entry] group; nullopt without one.
[[nodiscard]] std::optional<std::string> entryName(std::string_view desktopFile);

// The application folders of the XDG data directories, most important first.
[[nodiscard]] std::vector<std::string> defaultApplicationDirs();

// Finds desktop entries by id and remembers the answers (also the absent ones). Thread-safe.
class Directory {
public:
    explicit Directory(std::vector<std::string> applicationDirs = defaultApplicationDirs());
    [[nodiscard]] std::optional<DesktopApp> lookup(std::string_view unitApplication);

private:
    std::vector<std::string> m_dirs;
    std::mutex m_mutex;  // guards m_cache
    std::unordered_map<std::string, std::optional<DesktopApp>> m_cache;
};

}  // namespace tarvik::DesktopApps
