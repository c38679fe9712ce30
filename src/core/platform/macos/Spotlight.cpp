#include "core/platform/macos/Spotlight.hpp"

#include <algorithm>
#include <ctime>

#include "core/support/Spawn.hpp"
#include "core/support/Text.hpp"

namespace tarvik::StorageScanner {

namespace {

// True when a folder of `path` (not its last component) is an application bundle or a photo
// library, whose files are not offered one by one.
bool isInsideBundle(std::string_view path) {
    auto folders = Text::split(path, '/');
    if (!folders.empty() && !path.ends_with('/')) folders.pop_back();
    return std::any_of(folders.begin(), folders.end(), [](std::string_view folder) {
        return folder.ends_with(".app") || folder.ends_with(".photoslibrary");
    });
}

// The application whose folder in the home's Library holds `path`.
std::optional<std::string> libraryOwner(std::string_view path, std::string_view home) {
    std::string prefix = std::string(home) + "/Library/";
    if (!path.starts_with(prefix)) return std::nullopt;
    auto parts = Text::split(path.substr(prefix.size()), '/');
    if (parts.size() < 2) return std::nullopt;
    if (parts[0] == "Containers" || parts[0] == "Group Containers") {
        if (parts[1] == "com.docker.docker") return "Docker";
        if (parts[1] == "com.apple.mail") return "Mail";
        if (parts[1] == "com.apple.Photos") return "Photos";
        return appName(parts[1]);
    }
    if (parts[0] == "Application Support" || parts[0] == "Caches") return std::string(parts[1]);
    return std::nullopt;
}

}  // namespace

std::vector<StorageItem> largeFilesFromSpotlight(const std::string& home, std::uint64_t minimum,
                                                 std::size_t limit) {
    auto found = Spawn::run("/usr/bin/mdfind",
                            {"-0", "-onlyin", home, "kMDItemPhysicalSize > " + std::to_string(minimum)});
    std::vector<std::string> paths;
    for (auto piece : Text::split(found.output, '\0'))
        if (!isInsideBundle(piece)) paths.emplace_back(piece);
    if (paths.empty()) return {};
    std::vector<std::string> arguments{"-raw", "-name", "kMDItemLastUsedDate", "-name",
                                       "kMDItemPhysicalSize"};
    arguments.insert(arguments.end(), paths.begin(), paths.end());
    auto items = parseLargeFiles(paths, Spawn::run("/usr/bin/mdls", arguments).output, home);
    if (items.size() > limit) items.resize(limit);
    return items;
}

std::optional<Date> parseMdlsDate(std::string_view text) {
    // "yyyy-MM-dd HH:mm:ss Z", Z being a numeric offset such as +0000.
    if (text.size() != 25 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':' || text[19] != ' ' || (text[20] != '+' && text[20] != '-'))
        return std::nullopt;
    auto number = [&](std::size_t at, std::size_t length) {
        return Text::parseInt32(text.substr(at, length));
    };
    auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
    auto hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    auto offsetHours = number(21, 2), offsetMinutes = number(23, 2);
    if (!year || !month || !day || !hour || !minute || !second || !offsetHours || !offsetMinutes)
        return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 60 ||
        *offsetMinutes > 59)
        return std::nullopt;
    std::tm fields{};
    fields.tm_year = *year - 1900;
    fields.tm_mon = *month - 1;
    fields.tm_mday = *day;
    fields.tm_hour = *hour;
    fields.tm_min = *minute;
    fields.tm_sec = *second;
    auto utc = timegm(&fields);
    long offset = (*offsetHours * 60L + *offsetMinutes) * 60L * (text[20] == '-' ? -1 : 1);
    // The clock counts nanoseconds in 64 bits, which reach only about 292 years either side of 1970.
    constexpr auto reach = std::chrono::duration_cast<std::chrono::seconds>(Date::duration::max()).count();
    auto seconds = utc - offset;
    if (seconds >= reach || seconds <= -reach) return std::nullopt;
    return std::chrono::system_clock::from_time_t(seconds);
}

std::vector<StorageItem> parseLargeFiles(const std::vector<std::string>& paths, std::string_view mdls,
                                         const std::string& home) {
    auto pieces = Text::fields(mdls, '\0');
    std::vector<StorageItem> items;
    for (std::size_t i = 0; i < paths.size() && 2 * i + 1 < pieces.size(); ++i) {
        auto size = Text::parseUInt64(Text::trim(pieces[2 * i + 1], Text::whitespace));
        if (!size) continue;
        auto item =
            largeFileItem(paths[i], *size, parseMdlsDate(Text::trim(pieces[2 * i], Text::whitespace)), home);
        if (auto app = libraryOwner(paths[i], home)) item.kind = StorageItem::Kind::appData(*app);
        items.push_back(std::move(item));
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a.bytes > b.bytes; });
    return items;
}

}  // namespace tarvik::StorageScanner
