#include "core/support/XdgDirs.hpp"

#include <cstdlib>
#include <fstream>

#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"

namespace tarvik::XdgDirs {

namespace {

std::string baseDir(const Lookup& environment, std::string_view name, const std::string& fallback) {
    auto value = environment(name);
    if (!value || !value->starts_with('/')) return fallback;
    return std::string(Paths::withoutTrailingSlashes(*value));
}

}  // namespace

Lookup processEnvironment() {
    return [](std::string_view name) -> std::optional<std::string> {
        const char* value = std::getenv(std::string(name).c_str());
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    };
}

BaseDirs of(const std::string& home, const Lookup& environment) {
    std::string root(Paths::withoutTrailingSlashes(home));
    if (root == "/") root.clear();
    BaseDirs dirs{baseDir(environment, "XDG_CACHE_HOME", root + "/.cache"),
                  baseDir(environment, "XDG_DATA_HOME", root + "/.local/share"),
                  baseDir(environment, "XDG_CONFIG_HOME", root + "/.config"),
                  baseDir(environment, "XDG_STATE_HOME", root + "/.local/state"), std::nullopt};
    auto runtime = environment("XDG_RUNTIME_DIR");
    if (runtime && runtime->starts_with('/'))
        dirs.runtime = std::string(Paths::withoutTrailingSlashes(*runtime));
    return dirs;
}

BaseDirs of(const std::string& home) {
    return of(home, processEnvironment());
}

std::map<std::string, std::string> parseUserDirs(std::string_view text, std::string_view home) {
    std::map<std::string, std::string> dirs;
    for (auto line : Text::lines(text)) {
        line = Text::trim(line);
        auto equals = line.find('=');
        if (line.starts_with('#') || equals == std::string_view::npos) continue;
        auto name = Text::trim(line.substr(0, equals));
        auto value = Text::trim(line.substr(equals + 1));
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
        value = value.substr(1, value.size() - 2);
        std::string path;
        if (value.starts_with("$HOME/") || value == "$HOME")
            path = std::string(home) + std::string(value.substr(5));
        else if (value.starts_with('/'))
            path = std::string(value);
        else
            continue;
        dirs[std::string(name)] = Text::repairUtf8(Paths::withoutTrailingSlashes(path));
    }
    return dirs;
}

std::string userDir(const BaseDirs& dirs, const std::string& home, std::string_view name,
                    std::string_view fallback) {
    std::ifstream file(dirs.config + "/user-dirs.dirs", std::ios::binary);
    std::string text(64 * 1024, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    auto dirsInFile = parseUserDirs(text, home);
    if (auto found = dirsInFile.find(std::string(name)); found != dirsInFile.end()) return found->second;
    return home + "/" + std::string(fallback);
}

}  // namespace tarvik::XdgDirs
