#include "core/storage/StorageScanner.hpp"

#include <algorithm>
#include <set>

#include "core/storage/FolderSize.hpp"
#include "core/storage/RealPlace.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/ByteUnits.hpp"
#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

std::uint64_t StorageReport::clearableBytes() const {
    std::uint64_t total = 0;
    for (const auto& item : clearable)
        if (item.kind.tag == StorageItem::Kind::Tag::regenerable && item.place == StorageItem::Place::home)
            total += item.freeableBytes();
    return total;
}

namespace StorageScanner {

namespace {

Location row(std::string path, std::string title, std::string detail,
             StorageItem::Kind kind = StorageItem::Kind::regenerable()) {
    return {std::move(path), std::move(title), std::move(detail), std::move(kind)};
}

std::vector<Location> makeLocations() {
    return {
        row("~/.npm/_cacache", "npm downloads",
            "Every package npm has downloaded. npm downloads them again when a project needs them."),
        row("$XDG_CACHE_HOME/yarn", "Yarn downloads", "Yarn downloads packages again when needed."),
        row("$XDG_DATA_HOME/pnpm/store", "pnpm store", "pnpm downloads packages again when needed."),
        row("$XDG_CACHE_HOME/pnpm", "pnpm cache", "pnpm rebuilds it when needed."),
        row("~/.bun/install/cache", "Bun downloads", "Bun downloads packages again when needed."),
        row("$XDG_CACHE_HOME/pip", "pip downloads", "pip downloads packages again when needed."),
        row("$XDG_CACHE_HOME/uv", "uv downloads", "uv downloads packages again when needed."),
        row("~/.gradle/caches", "Gradle caches", "Gradle downloads dependencies again when needed."),
        row("~/.cargo/registry", "Cargo downloads", "Cargo downloads crates again when needed."),
        row("~/go/pkg/mod", "Go modules", "Go downloads modules again when needed."),
        row("$XDG_CACHE_HOME/go-build", "Go build cache", "Go rebuilds it the next time you build."),
        row("~/.m2/repository", "Maven downloads", "Maven downloads dependencies again when needed."),
        row("$XDG_CACHE_HOME/bazel", "Bazel caches", "Bazel rebuilds them the next time you build."),
        row("$XDG_CACHE_HOME/JetBrains", "JetBrains caches",
            "Indexes and caches the IDEs rebuild when a project opens."),
        row("$XDG_CACHE_HOME/ms-playwright", "Playwright browsers",
            "Test browsers. `npx playwright install` brings them back."),
        row("$XDG_CACHE_HOME/puppeteer", "Puppeteer browsers", "Downloaded again on the next install."),
        row("$XDG_CACHE_HOME/huggingface", "Hugging Face models",
            "AI models you or your tools downloaded. They download again if used, which can take a while."),
        row("$XDG_CACHE_HOME/google-chrome", "Google Chrome cache",
            "Web pages and files Chrome keeps to load sites faster. Chrome rebuilds it as you browse."),
    };
}

}  // namespace

const std::vector<Location>& locations() {
    static const std::vector<Location> table = makeLocations();
    return table;
}

std::map<std::string, std::uint64_t> parseDu(std::string_view output) {
    std::map<std::string, std::uint64_t> sizes;
    for (auto line : Text::lines(output)) {
        auto fields = Text::split(line, '\t');
        if (fields.size() != 2) continue;
        if (auto bytes = ByteUnits::parseKibibytes(fields[0])) sizes[std::string(fields[1])] = *bytes;
    }
    return sizes;
}

std::string expand(std::string_view location, const std::string& home, const XdgDirs::BaseDirs& dirs) {
    for (const auto& [prefix, base] :
         {std::pair<std::string_view, const std::string*>{"$XDG_CACHE_HOME/", &dirs.cache},
          {"$XDG_DATA_HOME/", &dirs.data}})
        if (location.starts_with(prefix)) return *base + "/" + std::string(location.substr(prefix.size()));
    return Paths::expandingHome(location, home);
}

std::vector<StorageItem> clearable(const std::string& home, const XdgDirs::BaseDirs& dirs,
                                   std::uint64_t minimum, const WalkBudget& budget) {
    WalkLimit limit(budget);
    std::set<std::string> measured;  // real paths: two rows may name one folder
    std::vector<StorageItem> items;
    for (const auto& location : locations()) {
        auto path = expand(location.path, home, dirs);
        auto place = RealPlace::resolve(path, home);
        if (!place || !measured.insert(place->real).second) continue;
        // The bytes are counted where they are, whichever file system or folder that is.
        auto size = FolderSize::measure(place->real, limit);
        if (size.bytes < minimum) continue;
        StorageItem item{path,         location.title, location.detail, size.bytes, location.kind,
                         std::nullopt, false};
        item.realPath = place->moved;
        item.place = place->place;
        item.sharedBytes = size.bytes - size.freeable;
        items.push_back(std::move(item));
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a.bytes > b.bytes; });
    return items;
}

std::vector<StorageItem> clearable(const std::string& home, std::uint64_t minimum) {
    return clearable(home, XdgDirs::of(home), minimum);
}

std::string placeNote(const StorageItem& item) {
    if (item.place == StorageItem::Place::home) return {};
    auto where = RealPlace::whereItLives(item.realPath.value_or(item.path), item.place);
    return "Not cleared here: " + where + ".";
}

std::string sharedNote(const StorageItem& item) {
    if (item.sharedBytes == 0) return {};
    return ByteFormat::storage(std::min(item.sharedBytes, item.bytes)) +
           " of it is shared with files outside it (hard links); clearing it frees only " +
           ByteFormat::storage(item.freeableBytes()) + ".";
}

namespace {

StorageItem fileItem(const std::string& path, std::uint64_t bytes, std::optional<Date> lastUsed,
                     const std::string& home, const std::optional<std::string>& app) {
    auto slash = path.rfind('/');
    std::string parent = slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
    return {path,
            std::string(Text::lastPathComponent(path)),
            Paths::abbreviatingHome(parent, home),
            bytes,
            app ? StorageItem::Kind::appData(*app) : StorageItem::Kind::personal(),
            lastUsed,
            true};
}

}  // namespace

StorageItem largeFileItem(const std::string& path, std::uint64_t bytes, std::optional<Date> lastUsed,
                          const std::string& home) {
    return fileItem(path, bytes, lastUsed, home, owner(path, home));
}

StorageItem largeFileItem(const std::string& path, std::uint64_t bytes, std::optional<Date> lastUsed,
                          const std::string& home, const XdgDirs::BaseDirs& dirs) {
    return fileItem(path, bytes, lastUsed, home, owner(path, home, dirs));
}

std::optional<std::string> owner(std::string_view path, std::string_view home,
                                 const XdgDirs::BaseDirs& dirs) {
    for (const auto* base : {&dirs.data, &dirs.config}) {
        std::string prefix = *base + "/";
        if (!path.starts_with(prefix)) continue;
        auto parts = Text::split(path.substr(prefix.size()), '/');
        if (parts.size() >= 2) return std::string(parts[0]);
    }
    return owner(path, home);
}

std::optional<std::string> owner(std::string_view path, std::string_view home) {
    struct Area {
        std::string_view prefix;  // after the home folder
        bool byContainer;         // the first component is an id to name, not a name
    };
    static constexpr Area areas[] = {{"/.local/share/", false},
                                     {"/.config/", false},
                                     {"/.var/app/", true},
                                     {"/snap/", false},
                                     {"/.docker/", false}};
    for (const auto& area : areas) {
        std::string prefix = std::string(home) + std::string(area.prefix);
        if (!path.starts_with(prefix)) continue;
        auto parts = Text::split(path.substr(prefix.size()), '/');
        if (area.prefix == "/.docker/")
            return parts.empty() ? std::nullopt : std::optional<std::string>("Docker");
        if (parts.size() < 2) return std::nullopt;
        return area.byContainer ? appName(parts[0]) : std::string(parts[0]);
    }
    return std::nullopt;
}

std::string appName(std::string_view containerId) {
    auto parts = Text::split(containerId, '.');
    return parts.empty() ? std::string(containerId) : std::string(parts.back());
}

StorageReport scan(const std::string& home, std::uint64_t minimum) {
    StorageReport report;
    report.clearable = clearable(home, minimum);
    auto search = largeFiles(home, largeFileMinimum, largeFileLimit);
    report.largeFiles = std::move(search.files);
    report.largeFilesComplete = search.complete;
    report.measuredAt = std::chrono::system_clock::now();
    return report;
}

}  // namespace StorageScanner

}  // namespace tarvik
