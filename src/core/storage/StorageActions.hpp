#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/storage/StorageScanner.hpp"
#include "core/support/Date.hpp"
#include "core/support/XdgDirs.hpp"

// The clearing operations behind the disk page and `tarvik storage`. Each acts only on an item the
// scanner produced inside the user's home, and answers with a result instead of throwing.
namespace tarvik::StorageActions {

struct Result {
    bool ok = false;
    std::string message;                     // the sentence to show, success or reason
    std::uint64_t freedBytes = 0;            // what the action gave back, when known
    std::optional<std::string> trashedPath;  // where a trashed file now lies
    bool operator==(const Result&) const = default;
};

// Removes a cache folder of `report.clearable` (kind regenerable) with everything in it, at its real
// place and only when that lies inside the home folder on the home folder's file system; links
// inside are removed, never followed. `freedBytes` leaves out files hard-linked from elsewhere.
[[nodiscard]] Result removeCache(const std::string& path, const StorageReport& report,
                                 const std::string& home);

// Moves a large file of `report.largeFiles`, found by its path or by its real place, to the Trash of
// the data home (`dirs.data`/Trash) with its info file, under a free name. A file whose real place
// lies outside the home folder, or on another device than the Trash, is refused.
[[nodiscard]] Result moveToTrash(const std::string& path, const StorageReport& report,
                                 const std::string& home, const XdgDirs::BaseDirs& dirs, Date now);
// The same with the process environment's data home.
[[nodiscard]] Result moveToTrash(const std::string& path, const StorageReport& report,
                                 const std::string& home, Date now);

// Runs `docker system prune -f` with the Docker command line at `docker`, for 10 minutes at most.
[[nodiscard]] Result cleanUpDocker(const std::string& docker);
// The same with the Docker command line found on this machine.
[[nodiscard]] Result cleanUpDocker();

// The bytes of docker's "Total reclaimed space: 1.2GB" line; nullopt without one.
[[nodiscard]] std::optional<std::uint64_t> parseReclaimed(std::string_view output);

// `path` percent-encoded as a Trash info file wants it: everything but unreserved characters and "/".
[[nodiscard]] std::string percentEncoded(std::string_view path);

// The Trash info file for `originalPath` deleted at `now`, in local time.
[[nodiscard]] std::string trashInfo(std::string_view originalPath, Date now);

}  // namespace tarvik::StorageActions
