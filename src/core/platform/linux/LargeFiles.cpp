// The home-folder walk that stands in for Spotlight's index on Linux.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "core/storage/FolderSize.hpp"
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

}  // namespace

LargeFileSearch walkLargeFiles(const std::string& home, const XdgDirs::BaseDirs& dirs, std::uint64_t minimum,
                               const WalkBudget& budget) {
    LargeFileSearch search;
    struct stat root {};
    if (lstat(home.c_str(), &root) != 0 || !S_ISDIR(root.st_mode)) return search;

    // The caches are measured by the table and the Trash already holds what was let go.
    std::set<std::string> skipped{dirs.data + "/Trash"};
    for (const auto& location : locations()) skipped.insert(expand(location.path, home, dirs));
    // Where large files gather comes first, so that a walk cut short has looked there; each is
    // skipped when the walk of the rest of the home folder meets it.
    std::vector<std::string> roots;
    for (auto [name, fallback] : {std::pair{"XDG_DOWNLOAD_DIR", "Downloads"},
                                  {"XDG_VIDEOS_DIR", "Videos"},
                                  {"XDG_DOCUMENTS_DIR", "Documents"},
                                  {"XDG_DESKTOP_DIR", "Desktop"}}) {
        auto folder = XdgDirs::userDir(dirs, home, name, fallback);
        // A user folder set to the home folder itself (a desktop turned off) is the rest of home.
        if (!folder.starts_with(home + "/") || skipped.contains(folder)) continue;
        skipped.insert(folder);
        roots.push_back(std::move(folder));
    }
    roots.push_back(home);

    std::set<std::pair<dev_t, ino_t>> listed;  // a file with several names is listed once
    WalkLimit limit(budget);
    for (const auto& start : roots) {
        std::vector<std::string> pending{start};
        while (!pending.empty()) {
            std::string folder = std::move(pending.back());
            pending.pop_back();
            // A folder swapped for a link since it was listed is not entered; an unreadable or gone one
            // is skipped and the walk goes on.
            DIR* directory = FolderSize::openListing(folder, root.st_dev);
            if (!directory) continue;
            while (dirent* entry = readdir(directory)) {
                std::string_view name = entry->d_name;
                if (name == "." || name == "..") continue;
                if (limit.spent()) {
                    closedir(directory);
                    search.complete = false;
                    return search;
                }
                struct stat info {};
                if (fstatat(dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
                if (info.st_dev != root.st_dev) continue;
                std::string path = folder + "/" + std::string(name);
                if (S_ISDIR(info.st_mode)) {
                    if (!skipped.contains(path)) pending.push_back(std::move(path));
                } else if (S_ISREG(info.st_mode)) {
                    auto onDisk = static_cast<std::uint64_t>(info.st_blocks) * 512;
                    if (onDisk <= minimum || !listed.insert({info.st_dev, info.st_ino}).second) continue;
                    search.files.push_back(largeFileItem(path, onDisk, timeOf(info.st_atim), home, dirs));
                }
            }
            closedir(directory);
        }
    }
    return search;
}

LargeFileSearch largeFiles(const std::string& home, const XdgDirs::BaseDirs& dirs, std::uint64_t minimum,
                           std::size_t limit, const WalkBudget& budget) {
    auto search = walkLargeFiles(home, dirs, minimum, budget);
    std::stable_sort(search.files.begin(), search.files.end(),
                     [](const auto& a, const auto& b) { return a.bytes > b.bytes; });
    if (search.files.size() > limit) search.files.resize(limit);
    return search;
}

LargeFileSearch largeFiles(const std::string& home, std::uint64_t minimum, std::size_t limit,
                           const WalkBudget& budget) {
    return largeFiles(home, XdgDirs::of(home), minimum, limit, budget);
}

}  // namespace tarvik::StorageScanner
