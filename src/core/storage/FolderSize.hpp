#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "core/storage/StorageScanner.hpp"

namespace tarvik {

// Counts a walk's entries against a deadline and a number of entries. Not thread-safe.
class WalkLimit {
public:
    WalkLimit(std::chrono::steady_clock::time_point deadline, std::size_t entries)
        : m_deadline(deadline), m_entries(entries) {}
    explicit WalkLimit(const StorageScanner::WalkBudget& budget)
        : WalkLimit(std::chrono::steady_clock::now() + budget.time, budget.entries) {}

    // Called once per entry; true once the entries or the time are spent, and from then on.
    bool spent() {
        // Checking the clock every entry would cost more than the walk itself.
        m_spent = m_spent || ++m_seen > m_entries ||
                  ((m_seen & 1023) == 0 && std::chrono::steady_clock::now() > m_deadline);
        return m_spent;
    }

private:
    std::chrono::steady_clock::time_point m_deadline;
    std::size_t m_entries;
    std::size_t m_seen = 0;
    bool m_spent = false;
};

}  // namespace tarvik

// The space a folder takes and the part of it that removing the folder gives back.
namespace tarvik::FolderSize {

// The folder at `path` opened for listing when it lies on `device`, else nullptr (also when it is
// gone or unreadable). A link in its place is not followed unless `followLink`. The caller closes it.
[[nodiscard]] DIR* openListing(const std::string& path, dev_t device, bool followLink = false);

struct Size {
    std::uint64_t bytes = 0;     // on disk; a file hard-linked several times inside counts once
    std::uint64_t freeable = 0;  // of `bytes`, what removing the folder frees: a file with a link
                                 // outside the folder frees nothing
    bool complete = true;        // false when the budget ran out first and the sizes are a part
    bool operator==(const Size&) const = default;
};

// Walks the folder at `path` (links in `path` itself are followed, none inside it), staying on its
// own file system, until `limit` is spent. A missing or unreadable folder gives 0; unreadable
// subfolders are left out. A file that is not a folder counts alone.
[[nodiscard]] Size measure(const std::string& path, WalkLimit& limit);

}  // namespace tarvik::FolderSize
