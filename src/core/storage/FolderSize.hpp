#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/storage/StorageScanner.hpp"

// The space a folder takes and the part of it that removing the folder gives back.
namespace tarvik::FolderSize {

struct Size {
    std::uint64_t bytes = 0;     // on disk; a file hard-linked several times inside counts once
    std::uint64_t freeable = 0;  // of `bytes`, what removing the folder frees: a file with a link
                                 // outside the folder frees nothing
    bool complete = true;        // false when the budget ran out first and the sizes are a part
    bool operator==(const Size&) const = default;
};

// Walks the folder at `path` (links in `path` itself are followed, none inside it), staying on its
// own file system, until `deadline` or `entries` entries. A missing or unreadable folder gives 0;
// unreadable subfolders are left out. A file that is not a folder counts alone.
[[nodiscard]] Size measure(const std::string& path, std::chrono::steady_clock::time_point deadline,
                           std::size_t entries);

}  // namespace tarvik::FolderSize
