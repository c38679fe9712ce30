#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/storage/StorageScanner.hpp"

// Where a path's bytes really lie. Any folder on the way, the home folder's own included, may be a
// link to another folder or disk; a cache or file is judged by its real place, never by the text
// of its path.
namespace tarvik::RealPlace {

struct Resolved {
    std::string real;                  // the path with every link resolved
    std::optional<std::string> moved;  // `real`, when a link inside the home folder led elsewhere
    StorageItem::Place place = StorageItem::Place::home;
    bool operator==(const Resolved&) const = default;
};

// `path` resolved against `home`: home when its real path lies strictly inside the home folder's
// real path on the same file system. Nullopt when either cannot be resolved (missing, unreadable).
// Blocks on the file systems it touches.
[[nodiscard]] std::optional<Resolved> resolve(const std::string& path, const std::string& home);

// "it lives at REAL, outside your home folder" and the like; empty for `Place::home`.
[[nodiscard]] std::string whereItLives(std::string_view real, StorageItem::Place place);

// A descriptor of the folder at the absolute `path`, opened one component at a time without
// following any link, so that it is the folder the path names and nothing a link swapped in;
// -1 on failure. The caller closes it.
[[nodiscard]] int openFolderWithoutLinks(const std::string& path);

}  // namespace tarvik::RealPlace
