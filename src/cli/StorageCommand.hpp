#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "core/storage/StorageScanner.hpp"
#include "core/support/Date.hpp"

namespace CLI {
class App;
}

namespace tarvik::cli {

struct StorageOptions {
    enum class Action { report, clear, trash };
    Action action = Action::report;
    bool json = false;
    std::string path;                                               // the item to clear or trash
    bool yes = false;                                               // clear without asking
    std::string home;                                               // empty: the user's home folder
    std::uint64_t minimum = StorageScanner::defaultMinimum;         // smallest cache listed
    std::uint64_t largeMinimum = StorageScanner::largeFileMinimum;  // files must be larger than this
    std::size_t largeLimit = StorageScanner::largeFileLimit;
    StorageScanner::WalkBudget budget;                            // for the large files
    XdgDirs::Lookup environment = XdgDirs::processEnvironment();  // where the XDG folders are set
};

// Registers `storage` with its `clear` and `trash` subcommands on the app.
CLI::App* addStorageCommand(CLI::App& app, StorageOptions& options);

// `storage` prints the report; `storage clear PATH` removes a listed cache after a y/N answer read
// from `in` (none with --yes); `storage trash PATH` moves a listed large file to the Trash.
// 0 when the report printed or the item went, 1 when it was refused, failed or declined.
int runStorage(const StorageOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

// "Opened 3 days ago", or "Never opened" without a date.
[[nodiscard]] std::string lastUseText(std::optional<Date> lastUsed, Date now);

// A large file's subtitle: when it was last used, then who owns it or where it lies.
[[nodiscard]] std::string largeFileSubtitle(const StorageItem& item, Date now);

// The readable report: the caches with the total safe to clear and where each really lies, then the
// largest files and, when the search for them stopped at `budget`, that it did.
[[nodiscard]] std::string renderStorage(const StorageReport& report, const std::string& home, Date now,
                                        std::optional<int> width,
                                        const StorageScanner::WalkBudget& budget = {});

// "The search for large files stopped at its limit (5 s or 2,000,000 entries)".
[[nodiscard]] std::string searchStoppedText(const StorageScanner::WalkBudget& budget);

// The report with its member names; dates as seconds since 1970, absent ones null.
[[nodiscard]] nlohmann::ordered_json toJson(const StorageReport& report);

}  // namespace tarvik::cli
