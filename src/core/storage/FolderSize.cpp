#include "core/storage/FolderSize.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <utility>
#include <vector>

namespace tarvik::FolderSize {

namespace {

std::uint64_t onDisk(const struct stat& info) {
    return static_cast<std::uint64_t>(info.st_blocks) * 512;
}

// A file with more than one name, and how many of its names the walk met.
struct Linked {
    nlink_t links = 0;
    nlink_t seen = 0;
    std::uint64_t bytes = 0;
};

}  // namespace

DIR* openListing(const std::string& path, dev_t device, bool followLink) {
    int descriptor = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (descriptor < 0) return nullptr;
    struct stat opened {};
    DIR* directory =
        fstat(descriptor, &opened) == 0 && opened.st_dev == device ? fdopendir(descriptor) : nullptr;
    if (!directory) close(descriptor);
    return directory;
}

Size measure(const std::string& path, WalkLimit& limit) {
    Size size;
    struct stat root {};
    if (stat(path.c_str(), &root) != 0) return size;
    if (!S_ISDIR(root.st_mode)) {
        size.bytes = onDisk(root);
        size.freeable = root.st_nlink > 1 ? 0 : size.bytes;
        return size;
    }
    std::uint64_t single = onDisk(root);
    std::map<std::pair<dev_t, ino_t>, Linked> linked;
    std::vector<std::string> pending{path};
    bool first = true;
    while (!pending.empty() && size.complete) {
        std::string folder = std::move(pending.back());
        pending.pop_back();
        // The top folder may be reached through links; below it, a folder swapped for a link since it
        // was listed is not entered.
        DIR* directory = openListing(folder, root.st_dev, first);
        first = false;
        if (!directory) continue;
        while (dirent* entry = readdir(directory)) {
            std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (limit.spent()) {
                size.complete = false;
                break;
            }
            struct stat info {};
            // A file system mounted inside is not the folder's, as `du -x` counts.
            if (fstatat(dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
                info.st_dev != root.st_dev)
                continue;
            if (S_ISDIR(info.st_mode)) {
                single += onDisk(info);
                pending.push_back(folder + "/" + std::string(name));
            } else if (info.st_nlink > 1) {
                auto& file = linked[{info.st_dev, info.st_ino}];
                file.links = info.st_nlink;
                file.bytes = onDisk(info);
                ++file.seen;
            } else {
                single += onDisk(info);
            }
        }
        closedir(directory);
    }
    size.bytes = size.freeable = single;
    for (const auto& [id, file] : linked) {
        size.bytes += file.bytes;
        if (file.seen >= file.links) size.freeable += file.bytes;
    }
    return size;
}

}  // namespace tarvik::FolderSize
