#include "core/storage/StorageActions.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "core/servers/Docker.hpp"
#include "core/support/ByteUnits.hpp"
#include "core/support/Paths.hpp"
#include "core/support/Spawn.hpp"
#include "core/support/Text.hpp"
#include "core/support/Words.hpp"

namespace tarvik::StorageActions {

namespace fs = std::filesystem;

namespace {

Result refused(std::string message) {
    return {false, std::move(message), 0, std::nullopt};
}

// The lexical form of `path` when it lies strictly inside `home`; ".." cannot climb out of it.
std::optional<std::string> insideHome(const std::string& path, const std::string& home) {
    if (home.empty() || path.empty() || path.front() != '/') return std::nullopt;
    auto normalForm = fs::path(path).lexically_normal().string();
    auto rootForm = fs::path(home).lexically_normal().string();
    std::string_view normal = Paths::withoutTrailingSlashes(normalForm);
    std::string_view root = Paths::withoutTrailingSlashes(rootForm);
    if (normal.size() <= root.size() + 1 || !normal.starts_with(root) || normal[root.size()] != '/')
        return std::nullopt;
    return std::string(normal);
}

const StorageItem* find(const std::vector<StorageItem>& items, const std::string& path) {
    auto normal = fs::path(path).lexically_normal().string();
    auto found = std::find_if(items.begin(), items.end(), [&](const StorageItem& item) {
        return item.path == path || fs::path(item.path).lexically_normal().string() == normal;
    });
    return found == items.end() ? nullptr : &*found;
}

std::string outsideHome(std::string_view verb, const std::string& path) {
    return std::string(verb) + ": " + path + " is outside your home folder.";
}

// "name 2.ext" for the second file of that name, keeping the extension so the file still opens.
std::string numbered(const std::string& name, int number) {
    if (number == 1) return name;
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name + " " + std::to_string(number);
    return name.substr(0, dot) + " " + std::to_string(number) + name.substr(dot);
}

}  // namespace

std::string percentEncoded(std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 15];
        }
    }
    return encoded;
}

std::string trashInfo(std::string_view originalPath, Date now) {
    auto seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + percentEncoded(originalPath) + "\nDeletionDate=" + date + "\n";
}

Result removeCache(const std::string& path, const StorageReport& report, const std::string& home) {
    auto normal = insideHome(path, home);
    if (!normal) return refused(outsideHome("Not cleared", path));
    const StorageItem* item = find(report.clearable, *normal);
    if (!item || item->isFile)
        return refused("Not cleared: " + path + " isn't one of the caches the scan found.");
    if (item->kind.tag != StorageItem::Kind::Tag::regenerable)
        return refused("Not cleared: " + item->title +
                       " isn't rebuilt by its tools. Remove it yourself if you no "
                       "longer need it.");
    std::error_code error;
    // remove_all deletes links themselves and never descends through them.
    fs::remove_all(item->path, error);
    if (error)
        return {false, "Couldn't clear " + item->title + ": " + error.message() + ".", 0, std::nullopt};
    return {true, "Cleared " + item->title + ".", item->bytes, std::nullopt};
}

Result moveToTrash(const std::string& path, const StorageReport& report, const std::string& home, Date now) {
    auto normal = insideHome(path, home);
    if (!normal) return refused(outsideHome("Not moved", path));
    const StorageItem* item = find(report.largeFiles, *normal);
    if (!item || !item->isFile)
        return refused("Not moved: " + path + " isn't one of the large files the scan found.");
    auto failed = [&] {
        return refused(Words::filled("Couldn't move {} to the Trash. Use Show in Finder and drag it there.",
                                     {item->title}));
    };

    struct stat file {};
    if (lstat(item->path.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) return failed();
    auto trash = fs::path(home) / ".local/share/Trash";
    std::error_code error;
    fs::create_directories(trash / "files", error);
    fs::create_directories(trash / "info", error);
    fs::permissions(trash, fs::perms::owner_all, error);
    struct stat trashStat {};
    // A rename cannot cross devices, and copying gigabytes is not what "move to Trash" promises.
    if (stat((trash / "files").c_str(), &trashStat) != 0 || trashStat.st_dev != file.st_dev) return failed();

    auto name = std::string(Text::lastPathComponent(item->path));
    auto info = trashInfo(item->path, now);
    for (int number = 1; number < 10000; ++number) {
        auto candidate = numbered(name, number);
        auto target = trash / "files" / candidate;
        auto infoPath = trash / "info" / (candidate + ".trashinfo");
        if (fs::exists(fs::symlink_status(target, error))) continue;
        // The info file is created exclusively first: it reserves the name against other trashers.
        int descriptor = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            return failed();
        }
        bool written = write(descriptor, info.data(), info.size()) == static_cast<ssize_t>(info.size());
        close(descriptor);
        if (!written || std::rename(item->path.c_str(), target.c_str()) != 0) {
            fs::remove(infoPath, error);
            return failed();
        }
        return {true, "Moved " + item->title + " to the Trash.", item->bytes, target.string()};
    }
    return failed();
}

std::optional<std::uint64_t> parseReclaimed(std::string_view output) {
    static constexpr std::string_view label = "Total reclaimed space:";
    for (auto line : Text::lines(output)) {
        auto at = line.find(label);
        if (at != std::string_view::npos) return ByteUnits::parse(line.substr(at + label.size()));
    }
    return std::nullopt;
}

Result cleanUpDocker(const std::string& docker) {
    auto result = Spawn::run(docker, {"system", "prune", "-f"});
    if (result.status != 0) return refused("Docker isn't running. Open Docker and try again.");
    return {true, "Docker cleaned up.", parseReclaimed(result.output).value_or(0), std::nullopt};
}

Result cleanUpDocker() {
    auto docker = DockerInspector::binaryPath();
    if (!docker) return refused("Docker isn't installed.");
    return cleanUpDocker(*docker);
}

}  // namespace tarvik::StorageActions
