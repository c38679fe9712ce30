#include "core/storage/RealPlace.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"

namespace tarvik::RealPlace {

namespace {

std::optional<std::string> realPathOf(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    std::string real = Text::repairUtf8(resolved);
    std::free(resolved);
    return real;
}

// True when `path` lies strictly inside `folder` (both without trailing slashes).
bool strictlyInside(std::string_view path, std::string_view folder) {
    if (folder == "/") return path.size() > 1 && path.starts_with('/');
    return path.size() > folder.size() + 1 && path.starts_with(folder) && path[folder.size()] == '/';
}

}  // namespace

std::optional<Resolved> resolve(const std::string& path, const std::string& home) {
    auto homeReal = realPathOf(home);
    auto real = realPathOf(path);
    if (!homeReal || !real) return std::nullopt;
    Resolved resolved{*real, std::nullopt, StorageItem::Place::home};
    // With the home folder itself behind a link every path resolves elsewhere; only a link inside it
    // moves a cache away from where its path says.
    std::string homeText(Paths::withoutTrailingSlashes(home));
    std::string expected = *real;
    if (strictlyInside(path, homeText)) expected = *homeReal + path.substr(homeText.size());
    if (std::string_view(Paths::withoutTrailingSlashes(expected)) != *real) resolved.moved = *real;

    struct stat homeInfo {
    }, realInfo{};
    if (!strictlyInside(*real, *homeReal))
        resolved.place = StorageItem::Place::outsideHome;
    else if (stat(homeReal->c_str(), &homeInfo) != 0 || stat(real->c_str(), &realInfo) != 0 ||
             homeInfo.st_dev != realInfo.st_dev)
        resolved.place = StorageItem::Place::otherFileSystem;
    return resolved;
}

std::string whereItLives(std::string_view real, StorageItem::Place place) {
    switch (place) {
        case StorageItem::Place::home:
            return {};
        case StorageItem::Place::outsideHome:
            return "it lives at " + std::string(real) + ", outside your home folder";
        case StorageItem::Place::otherFileSystem:
            return "it lives at " + std::string(real) + ", on another file system than your home folder";
    }
    return {};
}

int openFolderWithoutLinks(const std::string& path) {
    if (!path.starts_with('/')) return -1;
    int at = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (auto name : Text::split(path, '/')) {
        if (at < 0) return -1;
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            close(at);
            return -1;
        }
        int next = openat(at, std::string(name).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(at);
        at = next;
    }
    return at;
}

}  // namespace tarvik::RealPlace
