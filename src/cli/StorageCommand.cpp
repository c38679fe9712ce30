#include "cli/StorageCommand.hpp"
#include "cli/CliSupport.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>

#include "cli/Terminal.hpp"
#include "core/storage/StorageActions.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/Paths.hpp"
#include "core/support/Unicode.hpp"

namespace tarvik::cli {

namespace {

using Json = nlohmann::ordered_json;

std::string_view kindName(StorageItem::Kind::Tag tag) {
    switch (tag) {
        case StorageItem::Kind::Tag::appData:
            return "appData";
        case StorageItem::Kind::Tag::regenerable:
            return "regenerable";
        case StorageItem::Kind::Tag::personal:
            return "personal";
    }
    return "personal";
}

std::string_view placeName(StorageItem::Place place) {
    switch (place) {
        case StorageItem::Place::home:
            return "home";
        case StorageItem::Place::outsideHome:
            return "outsideHome";
        case StorageItem::Place::otherFileSystem:
            return "otherFileSystem";
    }
    return "home";
}

Json itemJson(const StorageItem& item) {
    Json json;
    json["path"] = item.path;
    json["title"] = item.title;
    json["detail"] = item.detail;
    json["bytes"] = item.bytes;
    json["kind"] = kindName(item.kind.tag);
    json["app"] = item.kind.tag == StorageItem::Kind::Tag::appData ? Json(item.kind.app) : Json(nullptr);
    json["lastUsed"] =
        item.lastUsed
            ? Json(
                  std::chrono::duration_cast<std::chrono::seconds>(item.lastUsed->time_since_epoch()).count())
            : Json(nullptr);
    json["isFile"] = item.isFile;
    json["realPath"] = item.realPath ? Json(*item.realPath) : Json(nullptr);
    json["place"] = placeName(item.place);
    json["sharedBytes"] = item.sharedBytes;
    json["freeableBytes"] = item.freeableBytes();
    return json;
}

// Thousands grouped with commas, as the English texts write counts.
std::string grouped(std::uint64_t number) {
    auto digits = std::to_string(number);
    for (auto at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

// The cache's explanation followed by what limits clearing it.
std::string cacheDetail(const StorageItem& item) {
    std::string text = item.detail;
    for (const auto& note : {StorageScanner::placeNote(item), StorageScanner::sharedNote(item)})
        if (!note.empty()) text += " " + note;
    return text;
}

std::string plural(long long count, std::string_view unit) {
    return std::to_string(count) + " " + std::string(unit) + (count == 1 ? "" : "s") + " ago";
}

// Makes a typed path comparable with the scanner's: "~/" expanded, relative ones made absolute.
std::string absolutePath(const std::string& path, const std::string& home) {
    if (path.starts_with("~/")) return Paths::expandingHome(path, home);
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

int finish(const StorageActions::Result& result, std::ostream& out, std::ostream& err) {
    (result.ok ? out : err) << Unicode::visible(result.message) << '\n';
    return result.ok ? 0 : 1;
}

}  // namespace

std::string lastUseText(std::optional<Date> lastUsed, Date now) {
    if (!lastUsed) return "Never opened";
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - *lastUsed).count();
    std::string when;
    if (seconds < 60)
        when = "just now";
    else if (seconds < 3600)
        when = plural(seconds / 60, "minute");
    else if (seconds < 86400)
        when = plural(seconds / 3600, "hour");
    else if (seconds < 2 * 86400)
        when = "yesterday";
    else if (seconds < 30 * 86400)
        when = plural(seconds / 86400, "day");
    else if (seconds < 365 * 86400)
        when = plural(seconds / (30 * 86400), "month");
    else
        when = plural(seconds / (365 * 86400), "year");
    return "Opened " + when;
}

std::string largeFileSubtitle(const StorageItem& item, Date now) {
    std::string text = lastUseText(item.lastUsed, now) + " · ";
    if (item.kind.tag == StorageItem::Kind::Tag::appData)
        return text + "Belongs to " + item.kind.app + ". Remove it from inside " + item.kind.app + ".";
    return text + item.detail;
}

std::string searchStoppedText(const StorageScanner::WalkBudget& budget) {
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(budget.time).count();
    return "The search for large files stopped at its limit (" + std::to_string(seconds) + " s or " +
           grouped(budget.entries) + " entries)";
}

std::string renderStorage(const StorageReport& report, const std::string& home, Date now,
                          std::optional<int> width, const StorageScanner::WalkBudget& budget) {
    std::string out = "Safe to clear: " + ByteFormat::storage(report.clearableBytes()) + "\n";
    if (report.clearable.empty()) {
        out += "  No large caches.\n";
    } else {
        std::vector<std::vector<std::string>> rows{{"  CACHE", "SIZE", "PATH", "DETAIL"}};
        for (const auto& item : report.clearable)
            rows.push_back({"  " + item.title, ByteFormat::storage(item.bytes),
                            Paths::abbreviatingHome(item.path, home) +
                                (item.realPath ? " -> " + *item.realPath : std::string()),
                            cacheDetail(item)});
        out += alignedTable(rows, {false, true, false, false}, width);
    }
    out += "\nLargest files\n";
    if (!report.largeFilesComplete)
        out += "  " + searchStoppedText(budget) +
               (report.largeFiles.empty() ? " before it found any." : "; these are the largest it found.") +
               "\n";
    if (report.largeFiles.empty()) {
        if (report.largeFilesComplete) out += "  No large files.\n";
    } else {
        std::vector<std::vector<std::string>> rows{{"  FILE", "SIZE", "PATH", "USE"}};
        for (const auto& item : report.largeFiles)
            rows.push_back({"  " + item.title, ByteFormat::storage(item.bytes),
                            Paths::abbreviatingHome(item.path, home), largeFileSubtitle(item, now)});
        out += alignedTable(rows, {false, true, false, false}, width);
    }
    return out;
}

Json toJson(const StorageReport& report) {
    Json json;
    json["clearable"] = Json::array();
    for (const auto& item : report.clearable) json["clearable"].push_back(itemJson(item));
    json["clearableBytes"] = report.clearableBytes();
    json["largeFiles"] = Json::array();
    for (const auto& item : report.largeFiles) json["largeFiles"].push_back(itemJson(item));
    json["largeFilesComplete"] = report.largeFilesComplete;
    json["measuredAt"] =
        std::chrono::duration_cast<std::chrono::seconds>(report.measuredAt.time_since_epoch()).count();
    return json;
}

CLI::App* addStorageCommand(CLI::App& app, StorageOptions& options) {
    auto* storage =
        app.add_subcommand("storage", "Show the caches that can be cleared and the largest files");
    storage->add_flag("--json", options.json, "Print the report as JSON");
    storage->require_subcommand(0, 1);
    auto* clear = storage->add_subcommand("clear", "Clear one cache the report lists");
    clear->add_option("path", options.path, "The cache's folder")->required();
    clear->add_flag("--yes,-y", options.yes, "Clear without asking");
    clear->callback([&options] { options.action = StorageOptions::Action::clear; });
    auto* trash = storage->add_subcommand("trash", "Move one large file the report lists to the Trash");
    trash->add_option("path", options.path, "The file")->required();
    trash->callback([&options] { options.action = StorageOptions::Action::trash; });
    return storage;
}

int runStorage(const StorageOptions& options, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::string home = options.home.empty() ? Paths::homeDirectory() : options.home;
    const auto dirs = XdgDirs::of(home, options.environment);
    auto now = std::chrono::system_clock::now();
    StorageReport report;
    report.measuredAt = now;
    auto findLargeFiles = [&] {
        auto search =
            StorageScanner::largeFiles(home, dirs, options.largeMinimum, options.largeLimit, options.budget);
        report.largeFiles = std::move(search.files);
        report.largeFilesComplete = search.complete;
    };

    if (options.action == StorageOptions::Action::report) {
        report.clearable = StorageScanner::clearable(home, dirs, options.minimum);
        findLargeFiles();
        if (options.json)
            printJson(out, toJson(report));
        else
            out << renderStorage(report, home, now, Terminal::of(stdout).width, options.budget);
        return 0;
    }

    auto path = absolutePath(options.path, home);
    if (options.action == StorageOptions::Action::trash) {
        findLargeFiles();
        return finish(StorageActions::moveToTrash(path, report, home, dirs, now), out, err);
    }

    report.clearable = StorageScanner::clearable(home, dirs, options.minimum);
    auto item = std::find_if(report.clearable.begin(), report.clearable.end(),
                             [&](const StorageItem& candidate) { return candidate.path == path; });
    // Only a cache that can go is worth a question; anything else is refused with its reason.
    if (!options.yes && item != report.clearable.end() && item->kind == StorageItem::Kind::regenerable() &&
        item->place == StorageItem::Place::home) {
        out << "Clear " << Unicode::visible(item->title) << " (" << ByteFormat::storage(item->freeableBytes())
            << ") at " << Unicode::visible(Paths::abbreviatingHome(item->path, home)) << "? [y/N] "
            << std::flush;
        std::string answer;
        std::getline(in, answer);
        if (answer != "y" && answer != "Y" && answer != "yes" && answer != "Yes") {
            out << "Nothing cleared.\n";
            return 1;
        }
    }
    return finish(StorageActions::removeCache(path, report, home), out, err);
}

}  // namespace tarvik::cli
