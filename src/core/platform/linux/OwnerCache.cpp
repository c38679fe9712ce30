#include "core/platform/linux/OwnerCache.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "core/platform/linux/ProcFs.hpp"
#include "core/support/Descriptor.hpp"
#include "core/support/Text.hpp"

namespace tarvik::OwnerCache {

namespace {

constexpr std::string_view header = "tarvik socket owners 1";
constexpr const char* folderName = "tarvik";
constexpr const char* fileName = "socket-owners";
constexpr off_t largest = 1 << 20;

// Another user could read the pids of this user's servers, or plant holders, through anything
// looser than this.
bool ownOnly(int fd, mode_t type) {
    struct stat info {};
    return fstat(fd, &info) == 0 && (info.st_mode & S_IFMT) == type && info.st_uid == geteuid() &&
           (info.st_mode & 077) == 0;
}

// The cache folder, opened without following a link and checked; -1 when it is not this user's own.
int openFolder(const std::string& runtimeFolder, bool create) {
    if (runtimeFolder.empty() || runtimeFolder.front() != '/') return -1;
    Descriptor runtime(open(runtimeFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (runtime.fd < 0) return -1;
    if (create && mkdirat(runtime.fd, folderName, 0700) != 0 && errno != EEXIST) return -1;
    int folder = openat(runtime.fd, folderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder >= 0 && !ownOnly(folder, S_IFDIR)) {
        close(folder);
        return -1;
    }
    return folder;
}

template <typename Number>
bool field(std::string_view text, Number& out) {
    auto value = Text::parseUInt64(text);
    if (!value || *value > static_cast<std::uint64_t>(std::numeric_limits<Number>::max())) return false;
    out = static_cast<Number>(*value);
    return true;
}

}  // namespace

std::string format(const SocketOwners::Memory& memory, std::string_view bootId) {
    std::string text = std::string(header) + "\nboot " + std::string(bootId) + "\n";
    for (const auto& entry : memory.holders)
        text += "holder " + std::to_string(entry.inode) + " " + std::to_string(entry.holder.pid) + " " +
                std::to_string(entry.holder.startTicks) + " " + std::to_string(entry.holder.fd) + "\n";
    for (const auto& process : memory.processes)
        text += "process " + std::to_string(process.pid) + " " + std::to_string(process.startTicks) +
                (process.walked ? " walked\n" : " seen\n");
    for (auto inode : memory.unfound) text += "unfound " + std::to_string(inode) + "\n";
    return text + "end\n";
}

std::optional<SocketOwners::Memory> parse(std::string_view text, std::string_view bootId) {
    auto lines = Text::fields(text, '\n');
    // The header, the boot, the end mark and the empty piece after the final newline.
    if (lines.size() < 4 || lines[0] != header || lines[1] != "boot " + std::string(bootId) ||
        lines[lines.size() - 2] != "end" || !lines.back().empty())
        return std::nullopt;
    SocketOwners::Memory memory;
    for (std::size_t i = 2; i + 2 < lines.size(); ++i) {
        auto fields = Text::fields(lines[i], ' ');
        bool good = false;
        if (fields[0] == "holder" && fields.size() == 5) {
            auto& entry = memory.holders.emplace_back();
            good = field(fields[1], entry.inode) && field(fields[2], entry.holder.pid) &&
                   field(fields[3], entry.holder.startTicks) && field(fields[4], entry.holder.fd) &&
                   entry.holder.pid > 0;
        } else if (fields[0] == "process" && fields.size() == 4) {
            auto& process = memory.processes.emplace_back();
            good = field(fields[1], process.pid) && field(fields[2], process.startTicks) && process.pid > 0 &&
                   (fields[3] == "walked" || fields[3] == "seen");
            process.walked = fields[3] == "walked";
        } else if (fields[0] == "unfound" && fields.size() == 2) {
            good = field(fields[1], memory.unfound.emplace_back());
        }
        if (!good) return std::nullopt;
    }
    return memory;
}

std::optional<SocketOwners::Memory> load(const std::string& runtimeFolder, std::string_view bootId) {
    Descriptor folder(openFolder(runtimeFolder, false));
    if (folder.fd < 0) return std::nullopt;
    Descriptor file(openat(folder.fd, fileName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file.fd < 0 || !ownOnly(file.fd, S_IFREG) || fstat(file.fd, &info) != 0 || info.st_size > largest)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t got = read(file.fd, text.data() + done, text.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;  // shrank while read: another run is replacing it
        done += static_cast<std::size_t>(got);
    }
    return parse(text, bootId);
}

bool save(const std::string& runtimeFolder, std::string_view bootId, const SocketOwners::Memory& memory) {
    Descriptor folder(openFolder(runtimeFolder, true));
    if (folder.fd < 0) return false;
    const std::string temporary = std::string(fileName) + "." + std::to_string(getpid());
    Descriptor file(
        openat(folder.fd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.fd < 0) return false;
    const std::string text = format(memory, bootId);
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t put = write(file.fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<std::size_t>(put);
    }
    if (done != text.size() || renameat(folder.fd, temporary.c_str(), folder.fd, fileName) != 0) {
        unlinkat(folder.fd, temporary.c_str(), 0);
        return false;
    }
    return true;
}

std::optional<std::string> bootId() {
    auto text = ProcRoot().read("sys/kernel/random/boot_id");
    if (!text) return std::nullopt;
    auto id = Text::trim(*text, " \n");
    if (id.empty()) return std::nullopt;
    return std::string(id);
}

}  // namespace tarvik::OwnerCache
