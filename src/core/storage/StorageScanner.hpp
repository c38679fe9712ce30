#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/Date.hpp"
#include "core/support/XdgDirs.hpp"

namespace tarvik {

// One thing filling the disk: a cache folder that can be cleared or one large file.
struct StorageItem {
    // What clearing the item means.
    struct Kind {
        enum class Tag { appData, regenerable, personal };
        Tag tag = Tag::personal;
        std::string app;  // the owning application's display name, only for appData

        [[nodiscard]] static Kind appData(std::string app) { return {Tag::appData, std::move(app)}; }
        [[nodiscard]] static Kind regenerable() { return {Tag::regenerable, {}}; }
        [[nodiscard]] static Kind personal() { return {Tag::personal, {}}; }
        bool operator==(const Kind&) const = default;
    };

    std::string path;         // absolute; identifies the item
    std::string title;        // display name
    std::string detail;       // the explanation (caches) or the abbreviated parent folder (files)
    std::uint64_t bytes = 0;  // size on disk
    Kind kind;
    std::optional<Date> lastUsed;  // when the file was last opened, when known
    bool isFile = false;           // a large file rather than a cache folder

    // Where the item really lies compared with the home folder; only an item at home is cleared.
    enum class Place { home, outsideHome, otherFileSystem };
    // The real path, when a link inside the home folder leads the item elsewhere; absent otherwise.
    std::optional<std::string> realPath;
    Place place = Place::home;
    // Of `bytes`, those held by files with a hard link outside the item, which removing it keeps.
    std::uint64_t sharedBytes = 0;

    // What removing the item gives back, in bytes.
    [[nodiscard]] std::uint64_t freeableBytes() const { return bytes - std::min(sharedBytes, bytes); }
    bool operator==(const StorageItem&) const = default;
};

// What the disk holds that can go, measured at one moment.
struct StorageReport {
    std::vector<StorageItem> clearable;
    std::vector<StorageItem> largeFiles;
    bool largeFilesComplete = true;  // false when the search for large files stopped early
    Date measuredAt{};

    // Only what tools rebuild counts as safe; the user's own data does not,
    // nor a cache that lives outside the home folder, nor bytes hard-linked from elsewhere.
    [[nodiscard]] std::uint64_t clearableBytes() const;
    bool operator==(const StorageReport&) const = default;
};

// Finds the caches developer tools rebuild on demand and the largest files in the home folder.
// Stateless; every function blocks while its subprocess or walk runs, so callers use a background
// task. Every reader takes the home folder so that a fixture home can stand in for the real one.
namespace StorageScanner {

// A well-known cache folder; `path` may start with "~/" (the home folder), "$XDG_CACHE_HOME/" or
// "$XDG_DATA_HOME/".
struct Location {
    std::string path;
    std::string title;
    std::string detail;
    StorageItem::Kind kind;
    bool operator==(const Location&) const = default;
};

// The fixed locations in their order: the Mac's 22, then the same tools' Linux folders.
[[nodiscard]] const std::vector<Location>& locations();

// The store's thresholds.
inline constexpr std::uint64_t defaultMinimum = 100'000'000;
inline constexpr std::uint64_t largeFileMinimum = 500'000'000;
inline constexpr std::size_t largeFileLimit = 15;

// `location`'s path with its home or XDG folder filled in.
[[nodiscard]] std::string expand(std::string_view location, const std::string& home,
                                 const XdgDirs::BaseDirs& dirs);

// How long a walk may take and how many entries it may look at before it answers with what it
// found so far.
struct WalkBudget {
    std::chrono::milliseconds time{5000};
    std::size_t entries = 2'000'000;
    bool operator==(const WalkBudget&) const = default;
};

// What measuring all the caches together may take.
inline constexpr WalkBudget cacheBudget{std::chrono::minutes(2), 20'000'000};

// The present locations of at least `minimum` bytes, largest first (equal sizes keep table
// order), each measured at its real place by a walk that stays on its file system and follows no
// links inside it. Two rows that lead to the same folder give one item.
[[nodiscard]] std::vector<StorageItem> clearable(const std::string& home, const XdgDirs::BaseDirs& dirs,
                                                 std::uint64_t minimum,
                                                 const WalkBudget& budget = cacheBudget);
// The same with the process environment's XDG folders.
[[nodiscard]] std::vector<StorageItem> clearable(const std::string& home, std::uint64_t minimum);

// The largest files found and whether the search looked everywhere it meant to.
struct LargeFileSearch {
    std::vector<StorageItem> files;
    bool complete = true;
    bool operator==(const LargeFileSearch&) const = default;
};

// The largest files under `home` of more than `minimum` bytes on disk, largest first, at most
// `limit`, a file with several names once. On Linux a walk of the home folder's own device that
// follows no links and skips the table's caches, the Trash, application bundles and photo
// libraries; it looks in Downloads, Videos, Documents and Desktop (as user-dirs.dirs names them)
// before the rest of the home folder, so that a walk cut short has looked where large files gather.
[[nodiscard]] LargeFileSearch largeFiles(const std::string& home, const XdgDirs::BaseDirs& dirs,
                                         std::uint64_t minimum, std::size_t limit,
                                         const WalkBudget& budget = {});
// The same with the process environment's XDG folders.
[[nodiscard]] LargeFileSearch largeFiles(const std::string& home, std::uint64_t minimum, std::size_t limit,
                                         const WalkBudget& budget = {});

// The Linux walk behind `largeFiles`, unsorted and unlimited.
[[nodiscard]] LargeFileSearch walkLargeFiles(const std::string& home, const XdgDirs::BaseDirs& dirs,
                                             std::uint64_t minimum, const WalkBudget& budget);

// `clearable` and the store's large files, stamped with the current time.
[[nodiscard]] StorageReport scan(const std::string& home, std::uint64_t minimum);

// `du -sk` output: path -> bytes; malformed lines are ignored and a later line wins.
[[nodiscard]] std::map<std::string, std::uint64_t> parseDu(std::string_view output);

// The sentences that qualify a cache: where it lives when that keeps it from being cleared ("Not
// cleared here: it lives at ..."), and how much of it hard links share; each empty when none.
[[nodiscard]] std::string placeNote(const StorageItem& item);
[[nodiscard]] std::string sharedNote(const StorageItem& item);

// A large-file item for `path`, its title, abbreviated parent and owner filled in.
[[nodiscard]] StorageItem largeFileItem(const std::string& path, std::uint64_t bytes,
                                        std::optional<Date> lastUsed, const std::string& home);
// The same, with applications' data also looked for in the XDG data and config homes.
[[nodiscard]] StorageItem largeFileItem(const std::string& path, std::uint64_t bytes,
                                        std::optional<Date> lastUsed, const std::string& home,
                                        const XdgDirs::BaseDirs& dirs);

// The application whose data folder holds `path`, when one does.
[[nodiscard]] std::optional<std::string> owner(std::string_view path, std::string_view home);
// The same, where the XDG data and config homes hold applications' folders wherever they are set.
[[nodiscard]] std::optional<std::string> owner(std::string_view path, std::string_view home,
                                               const XdgDirs::BaseDirs& dirs);

// The display name of a container or application id ("org.mozilla.firefox" gives "firefox").
[[nodiscard]] std::string appName(std::string_view containerId);

}  // namespace StorageScanner

}  // namespace tarvik
