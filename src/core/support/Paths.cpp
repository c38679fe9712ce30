#include "core/support/Paths.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

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

}  // namespace

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

const std::string& homeDirectory() {
    static const std::string home = findHomeDirectory();
    return home;
}

bool isUserArea(std::string_view path, std::string_view home) {
    if (path.starts_with("/home/") || path.starts_with("/Users/")) return true;
    home = withoutTrailingSlashes(home);
    // An empty or root home would turn every absolute path into a user path.
    if (home.empty() || home == "/") return false;
    return path.size() > home.size() && path.starts_with(home) && path[home.size()] == '/';
}

}  // namespace tarvik::Paths
