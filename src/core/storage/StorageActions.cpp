#include "core/storage/StorageActions.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>

#include "core/servers/Docker.hpp"
#include "core/storage/RealPlace.hpp"
#include "core/support/ByteUnits.hpp"
#include "core/support/Descriptor.hpp"
#include "core/support/Paths.hpp"
#include "core/support/Spawn.hpp"
#include "core/support/Text.hpp"
#include "core/support/XdgDirs.hpp"

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

// A cache folder cleared as a whole or not at all. `survey` looks for what would stop the removal
// halfway (another file system mounted inside, a folder of another user's or one that cannot be
// read) before anything changes; `remove` then deletes it bottom-up, making the user's own
// read-only folders writable first as the tools that lock them do. Every entry is reached through
// its parent's descriptor, so a link is removed as a link and never entered, and nothing on
// another file system is entered or removed.
struct CacheTree {
    dev_t device;
    std::string root;
    std::optional<std::string> trouble;  // the first obstacle, as a phrase naming its path

    static constexpr mode_t ownerAll = S_IRWXU;

    // The entry's status when it is a folder on the cache's own file system; a mount point is
    // recorded as trouble.
    std::optional<struct statx> folderAt(int parent, const char* name, const std::string& path) {
        struct statx info {};
        if (statx(parent, name, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_MODE | STATX_UID, &info) != 0 ||
            !S_ISDIR(info.stx_mode))
            return std::nullopt;
        if (makedev(info.stx_dev_major, info.stx_dev_minor) != device ||
            (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0) {
            trouble = "another file system is mounted at " + path;
            return std::nullopt;
        }
        return info;
    }

    template <typename Visit>
    void eachEntry(int folder, Visit visit) {
        int copy = dup(folder);
        DIR* listing = copy < 0 ? nullptr : fdopendir(copy);
        if (!listing) {
            if (copy >= 0) close(copy);
            return;
        }
        rewinddir(listing);
        while (const dirent* entry = readdir(listing)) {
            std::string_view name = entry->d_name;
            if (name != "." && name != ".." && !visit(entry->d_name)) break;
        }
        closedir(listing);
    }

    void survey(int folder, const std::string& path) {
        eachEntry(folder, [&](const char* name) {
            std::string child = path + "/" + name;
            auto info = folderAt(folder, name, child);
            if (trouble) return false;
            if (!info) return true;
            bool own = info->stx_uid == geteuid();
            if (!own && faccessat(folder, name, R_OK | W_OK | X_OK, AT_EACCESS) != 0) {
                trouble = child + " belongs to another user";
                return false;
            }
            Descriptor inner(openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            // A folder of the user's own that even they may not list is opened up when removing.
            if (inner)
                survey(inner.fd, child);
            else if (!own || (info->stx_mode & S_IRUSR) != 0)
                trouble = child + " can't be read";
            return !trouble;
        });
    }

    bool remove(int folder, const std::string& path) {
        eachEntry(folder, [&](const char* name) {
            std::string child = path + "/" + name;
            auto info = folderAt(folder, name, child);
            if (trouble) return false;
            if (info) {
                if (info->stx_uid == geteuid() && (info->stx_mode & ownerAll) != ownerAll &&
                    fchmodat(folder, name, (info->stx_mode & 07777) | ownerAll, AT_SYMLINK_NOFOLLOW) != 0)
                    return failed(child);
                Descriptor inner(openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                if (!inner) return failed(child);
                if (!remove(inner.fd, child)) return false;
            }
            return unlinkat(folder, name, info ? AT_REMOVEDIR : 0) == 0 || failed(child);
        });
        return !trouble;
    }

    bool failed(const std::string& path) {
        trouble = path + ": " + std::strerror(errno);
        return false;
    }
};

// The folder `name` inside `parent`, made (private to the user) when missing. A link, or anything
// but a folder, is refused rather than followed; an existing folder keeps its mode.
Descriptor folderIn(int parent, const char* name) {
    Descriptor folder(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder || errno != ENOENT) return folder;
    if (mkdirat(parent, name, 0700) != 0 && errno != EEXIST) return Descriptor(-1);
    return Descriptor(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

struct TrashFolders {
    Descriptor files;
    Descriptor info;
};

// The data home's Trash/{files,info}, made when missing. Inside the home folder the data home is
// reached one component at a time from the home, so that a link on the way is refused; a data
// home set elsewhere must exist and not be a link itself.
std::optional<TrashFolders> trashFolders(const std::string& home, const std::string& dataHome) {
    Descriptor at(-1);
    std::string_view root = Paths::withoutTrailingSlashes(home);
    if (dataHome.starts_with(std::string(root) + "/")) {
        at = Descriptor(open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (auto name : Text::split(std::string_view(dataHome).substr(root.size() + 1), '/')) {
            if (!at) return std::nullopt;
            if (name.empty() || name == ".") continue;
            if (name == "..") return std::nullopt;
            Descriptor next = folderIn(at.fd, std::string(name).c_str());
            std::swap(at.fd, next.fd);
        }
    } else {
        at = Descriptor(open(dataHome.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!at) return std::nullopt;
    Descriptor trash = folderIn(at.fd, "Trash");
    if (!trash) return std::nullopt;
    TrashFolders folders{folderIn(trash.fd, "files"), folderIn(trash.fd, "info")};
    if (!folders.files || !folders.info) return std::nullopt;
    return folders;
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
    return "[Trash Info]\nPath=" + percentEncoded(originalPath) + "\nDeletionDate=" + isoLocalTime(now) +
           "\n";
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

    // Judged by where the bytes are now: a link on the way may lead out of the home folder or to
    // another disk, and the cache is then left as it is.
    auto place = RealPlace::resolve(item->path, home);
    if (!place)
        return {false, "Couldn't clear " + item->title + ": " + std::strerror(errno) + ".", 0, std::nullopt};
    if (place->place != StorageItem::Place::home)
        return refused("Nothing in " + item->title +
                       " was removed: " + RealPlace::whereItLives(place->real, place->place) + ".");
    const std::string& real = place->real;
    auto slash = real.rfind('/');
    Descriptor parent(RealPlace::openFolderWithoutLinks(real.substr(0, slash == 0 ? 1 : slash)));
    const std::string name = real.substr(slash + 1);
    struct stat top {};
    if (!parent || fstatat(parent.fd, name.c_str(), &top, AT_SYMLINK_NOFOLLOW) != 0)
        return {false, "Couldn't clear " + item->title + ": " + std::strerror(errno) + ".", 0, std::nullopt};
    if (S_ISDIR(top.st_mode)) {
        Descriptor folder(openat(parent.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        CacheTree tree{top.st_dev, real, {}};
        if (!folder)
            tree.trouble = real + " can't be read";
        else
            tree.survey(folder.fd, real);
        if (tree.trouble)
            return refused("Not cleared: " + *tree.trouble + ". Nothing in " + item->title + " was removed.");
        if (!tree.remove(folder.fd, real))
            return {false, "Cleared only part of " + item->title + ": " + *tree.trouble + ".", 0,
                    std::nullopt};
    }
    // The folder itself, reached through its real parent; whatever replaced it is removed as it is
    // and never followed.
    if (unlinkat(parent.fd, name.c_str(), S_ISDIR(top.st_mode) ? AT_REMOVEDIR : 0) != 0)
        return {false, "Couldn't clear " + item->title + ": " + std::strerror(errno) + ".", 0, std::nullopt};
    // Files hard-linked from elsewhere keep their space.
    return {true, "Cleared " + item->title + ".", item->freeableBytes(), std::nullopt};
}

Result moveToTrash(const std::string& path, const StorageReport& report, const std::string& home,
                   const XdgDirs::BaseDirs& dirs, Date now) {
    auto normal = insideHome(path, home);
    if (!normal) return refused(outsideHome("Not moved", path));
    // The file is judged and moved where it really lies, whatever links the path went through.
    auto place = RealPlace::resolve(*normal, home);
    const StorageItem* item = find(report.largeFiles, *normal);
    for (std::size_t i = 0; !item && place && i < report.largeFiles.size(); ++i) {
        auto listed = RealPlace::resolve(report.largeFiles[i].path, home);
        if (listed && listed->real == place->real) item = &report.largeFiles[i];
    }
    if (!item || !item->isFile)
        return refused("Not moved: " + path + " isn't one of the large files the scan found.");
    if (place && place->place != StorageItem::Place::home)
        return refused("Nothing was moved: " + RealPlace::whereItLives(place->real, place->place) + ".");
    auto failed = [&] {
        return refused(Text::filled("Couldn't move {} to the Trash. Use Show in Files and drag it there.",
                                    {item->title}));
    };
    if (!place) return failed();

    const std::string& real = place->real;
    auto slash = real.rfind('/');
    Descriptor parent(RealPlace::openFolderWithoutLinks(real.substr(0, slash == 0 ? 1 : slash)));
    const std::string fileName = real.substr(slash + 1);
    struct stat file {};
    if (!parent || fstatat(parent.fd, fileName.c_str(), &file, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(file.st_mode))
        return failed();
    auto trash = trashFolders(home, dirs.data);
    if (!trash) return failed();
    struct stat trashStat {};
    // A rename cannot cross devices, and copying gigabytes is not what "move to Trash" promises.
    if (fstat(trash->files.fd, &trashStat) != 0 || trashStat.st_dev != file.st_dev) return failed();

    auto name = std::string(Text::lastPathComponent(item->path));
    auto info = trashInfo(real, now);
    for (int number = 1; number < 10000; ++number) {
        auto candidate = numbered(name, number);
        auto infoName = candidate + ".trashinfo";
        struct stat taken {};
        if (fstatat(trash->files.fd, candidate.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) continue;
        // The info file is created exclusively first: it reserves the name against other trashers.
        int descriptor = openat(trash->info.fd, infoName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            return failed();
        }
        bool written = write(descriptor, info.data(), info.size()) == static_cast<ssize_t>(info.size());
        close(descriptor);
        if (!written || renameat(parent.fd, fileName.c_str(), trash->files.fd, candidate.c_str()) != 0) {
            unlinkat(trash->info.fd, infoName.c_str(), 0);
            return failed();
        }
        return {true, "Moved " + item->title + " to the Trash.", item->bytes,
                dirs.data + "/Trash/files/" + candidate};
    }
    return failed();
}

Result moveToTrash(const std::string& path, const StorageReport& report, const std::string& home, Date now) {
    return moveToTrash(path, report, home, XdgDirs::of(home), now);
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
    // Pruning a large engine takes minutes; a client past that limit is stuck, not working.
    auto result = Spawn::run(docker, {"system", "prune", "-f"}, std::chrono::minutes(10));
    if (result.timedOut) return refused("Docker did not answer within 10 minutes.");
    if (result.status != 0) return refused("Docker isn't running. Open Docker and try again.");
    // Docker's own summary line says what it freed; older clients print none.
    std::string message = "Docker cleaned up.";
    for (auto line : Text::lines(result.output))
        if (!line.empty() && line.find("reclaimed") != std::string_view::npos) message = std::string(line);
    return {true, message, parseReclaimed(result.output).value_or(0), std::nullopt};
}

Result cleanUpDocker() {
    auto docker = DockerInspector::binaryPath();
    if (!docker) return refused("Docker isn't installed.");
    return cleanUpDocker(*docker);
}

}  // namespace tarvik::StorageActions
