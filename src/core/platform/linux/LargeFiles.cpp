// The home-folder walk that stands in for Spotlight's index on Linux.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "core/storage/StorageScanner.hpp"
#include "core/support/Paths.hpp"

namespace tarvik::StorageScanner {

namespace {

// A file time as a date. The clock counts nanoseconds in 64 bits, which run out in 2262 (and
// before 1677); a file can carry any 64-bit second count, so a later time is clamped to the
// clock's end and an earlier one to 1970, which leaves room to subtract it from now.
Date timeOf(const timespec& time) {
    using namespace std::chrono;
    constexpr auto limit = duration_cast<seconds>(system_clock::duration::max()).count() - 1;
    if (time.tv_sec >= limit) return system_clock::time_point::max();
    if (time.tv_sec <= -limit) return system_clock::time_point{};
    return system_clock::time_point(
        duration_cast<system_clock::duration>(seconds(time.tv_sec) + nanoseconds(time.tv_nsec)));
}

bool isBundleName(std::string_view name) {
    return name.ends_with(".app") || name.ends_with(".photoslibrary");
}

}  // namespace

std::vector<StorageItem> walkLargeFiles(const std::string& home, std::uint64_t minimum,
                                        const WalkBudget& budget) {
    std::vector<StorageItem> items;
    struct stat root {};
    if (lstat(home.c_str(), &root) != 0 || !S_ISDIR(root.st_mode)) return items;

    // The caches are measured by the table and the Trash already holds what was let go.
    std::set<std::string> skipped{home + "/.local/share/Trash"};
    for (const auto& location : locations()) skipped.insert(Paths::expandingHome(location.path, home));

    auto deadline = std::chrono::steady_clock::now() + budget.time;
    std::size_t seen = 0;
    std::vector<std::string> pending{home};
    while (!pending.empty()) {
        std::string folder = std::move(pending.back());
        pending.pop_back();
        // O_NOFOLLOW: a folder swapped for a link since it was listed is not entered.
        int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (descriptor < 0) continue;  // unreadable or gone: skipped, the walk goes on
        DIR* directory = fdopendir(descriptor);
        if (!directory) {
            close(descriptor);
            continue;
        }
        while (dirent* entry = readdir(directory)) {
            std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            // Checking the clock every entry would cost more than the walk itself.
            if (++seen > budget.entries ||
                ((seen & 1023) == 0 && std::chrono::steady_clock::now() > deadline)) {
                closedir(directory);
                return items;
            }
            struct stat info {};
            if (fstatat(dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (info.st_dev != root.st_dev) continue;
            std::string path = folder + "/" + std::string(name);
            if (S_ISDIR(info.st_mode)) {
                if (!isBundleName(name) && !skipped.contains(path)) pending.push_back(std::move(path));
            } else if (S_ISREG(info.st_mode)) {
                auto onDisk = static_cast<std::uint64_t>(info.st_blocks) * 512;
                if (onDisk <= minimum) continue;
                items.push_back(largeFileItem(path, onDisk, timeOf(info.st_atim), home));
            }
        }
        closedir(directory);
    }
    return items;
}

std::vector<StorageItem> largeFiles(const std::string& home, std::uint64_t minimum, std::size_t limit,
                                    const WalkBudget& budget) {
    auto items = walkLargeFiles(home, minimum, budget);
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a.bytes > b.bytes; });
    if (items.size() > limit) items.resize(limit);
    return items;
}

}  // namespace tarvik::StorageScanner
