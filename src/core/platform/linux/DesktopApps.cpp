#include "core/platform/linux/DesktopApps.hpp"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"
#include "core/support/XdgDirs.hpp"

namespace tarvik::DesktopApps {

namespace {

// systemd escapes "-" inside names as "\x2d" (systemd.unit(5)); other escapes are rare.
std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            auto hex = std::string(text.substr(i + 2, 2));
            char* end = nullptr;
            long value = std::strtol(hex.c_str(), &end, 16);
            if (end == hex.c_str() + 2) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool isRandomSuffix(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) return false;
    }
    return true;
}

}  // namespace

namespace {

// The unified hierarchy's line is "0::/path"; v1 lines name their controllers instead.
// On a hybrid machine systemd keeps its units in the v1 "name=systemd" hierarchy and the unified
// line reads "0::/".
std::string_view unitPath(std::string_view cgroupText) {
    std::string_view unified, named;
    for (auto line : Text::lines(cgroupText)) {
        if (line.starts_with("0::"))
            unified = line.substr(3);
        else if (auto at = line.find(":name=systemd:"); at != std::string_view::npos)
            named = line.substr(at + 14);
    }
    return unified.empty() || unified == "/" ? named : unified;
}

}  // namespace

std::optional<bool> systemService(std::string_view cgroupText) {
    std::string_view path = unitPath(cgroupText);
    auto first = Text::split(path, '/');
    if (first.empty()) return std::nullopt;
    if (first.front() == "system.slice" || first.front() == "init.scope") return true;
    if (first.front() == "user.slice") return false;
    return std::nullopt;
}

std::optional<std::string> unitApplication(std::string_view cgroupText) {
    std::string_view path = unitPath(cgroupText);
    auto components = Text::split(path, '/');
    for (auto it = components.rbegin(); it != components.rend(); ++it) {
        std::string_view unit = *it;
        if (!unit.starts_with("app-")) continue;
        std::string_view body = unit.substr(4);
        if (body.ends_with(".service")) {
            body.remove_suffix(8);
            if (auto at = body.find('@'); at != std::string_view::npos) body = body.substr(0, at);
        } else if (body.ends_with(".scope")) {
            body.remove_suffix(6);
            auto dash = body.rfind('-');
            if (dash != std::string_view::npos && isRandomSuffix(body.substr(dash + 1)))
                body = body.substr(0, dash);
        } else if (body.ends_with(".slice")) {
            body.remove_suffix(6);
        } else {
            continue;
        }
        if (body.empty()) continue;
        // An escaped "/" would let the id name a file outside the application folders (a FIFO
        // there blocks the reader), and a NUL would cut the file name short.
        std::string application = unescape(body);
        if (application.find_first_of(std::string_view("/\0", 2)) != std::string::npos) continue;
        return application;
    }
    return std::nullopt;
}

std::vector<std::string> candidates(std::string_view application) {
    std::vector<std::string> ids{std::string(application)};
    if (auto dash = application.find('-'); dash != std::string_view::npos && dash + 1 < application.size())
        ids.emplace_back(application.substr(dash + 1));
    return ids;
}

std::optional<std::string> entryName(std::string_view desktopFile) {
    bool inEntry = false;
    for (auto rawLine : Text::lines(desktopFile)) {
        auto line = Text::trim(rawLine);
        if (line.starts_with('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry || !line.starts_with("Name")) continue;
        auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        if (Text::trim(line.substr(0, equals)) != "Name") continue;  // Name[de], GenericName
        auto name = Text::trim(line.substr(equals + 1));
        if (!name.empty()) return std::string(name);
    }
    return std::nullopt;
}

std::vector<std::string> defaultApplicationDirs() {
    std::vector<std::string> dirs;
    dirs.push_back(XdgDirs::of(Paths::homeDirectory()).data + "/applications");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
    for (auto dir : Text::split(list, ':')) dirs.push_back(std::string(dir) + "/applications");
    dirs.push_back("/var/lib/flatpak/exports/share/applications");
    return dirs;
}

Directory::Directory(std::vector<std::string> applicationDirs) : m_dirs(std::move(applicationDirs)) {}

std::optional<DesktopApp> Directory::lookup(std::string_view unitApplication) {
    std::string key(unitApplication);
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_cache.find(key); it != m_cache.end()) return it->second;
    }
    std::optional<DesktopApp> found;
    for (const auto& id : candidates(unitApplication)) {
        for (const auto& dir : m_dirs) {
            std::string path = dir + "/" + id + ".desktop";
            std::ifstream file(path);
            if (!file) continue;
            std::stringstream content;
            content << file.rdbuf();
            if (auto name = entryName(content.str())) {
                found = DesktopApp{*name, path};
                break;
            }
        }
        if (found) break;
    }
    std::lock_guard lock(m_mutex);
    m_cache[key] = found;
    return found;
}

}  // namespace tarvik::DesktopApps
