#include "core/support/Paths.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

namespace tarvik::Paths {

namespace {

std::string findHomeDirectory() {
    const char* fromEnvironment = std::getenv("HOME");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0')
        return std::string(withoutTrailingSlashes(fromEnvironment));
    // Services started without a login environment often lack $HOME.
    if (const passwd* entry = getpwuid(getuid());
        entry != nullptr && entry->pw_dir != nullptr && *entry->pw_dir != '\0')
        return std::string(withoutTrailingSlashes(entry->pw_dir));
    return "/";
}

// What follows `home` in `path` ("" for the home itself, else from its slash on); nullopt when the
// path lies outside it.
std::optional<std::string_view> insideHome(std::string_view path, std::string_view home) {
    home = withoutTrailingSlashes(home);
    // An empty or root home would turn every absolute path into a user path.
    if (home.empty() || home == "/" || !path.starts_with(home)) return std::nullopt;
    std::string_view rest = path.substr(home.size());
    if (!rest.empty() && rest.front() != '/') return std::nullopt;
    return rest;
}

}  // namespace

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

const std::string& homeDirectory() {
    static const std::string home = findHomeDirectory();
    return home;
}

std::string abbreviatingHome(std::string_view path, std::string_view home) {
    auto rest = insideHome(path, home);
    if (!rest) return std::string(path);
    std::string shown = "~";
    shown += *rest;
    return shown;
}

std::string expandingHome(std::string_view path, std::string_view home) {
    if (!path.starts_with("~/")) return std::string(path);
    return std::string(home) + std::string(path.substr(1));
}

bool isUserArea(std::string_view path, std::string_view home) {
    if (path.starts_with("/home/") || path.starts_with("/Users/")) return true;
    auto rest = insideHome(path, home);
    return rest && !rest->empty();
}

}  // namespace tarvik::Paths
