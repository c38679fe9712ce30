#include "core/platform/linux/ProcFs.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <type_traits>
#include <utility>

#include "core/support/Text.hpp"

namespace tarvik::ProcFs {

std::optional<Stat> parseStat(std::string_view text) {
    std::size_t open = text.find('(');
    std::size_t close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    Stat stat;
    stat.comm = std::string(text.substr(open + 1, close - open - 1));
    // Fields 3 (state) to 22 (starttime) after comm, numbered as in proc(5). Read into a fixed
    // array: this runs for every process on every refresh.
    std::array<std::string_view, 20> fields;
    std::string_view rest = text.substr(close + 1);
    for (auto& field : fields) {
        auto token = Text::nextToken(rest);
        if (!token) return std::nullopt;  // truncated
        field = *token;
    }
    auto field = [&](int number) { return fields[static_cast<std::size_t>(number - 3)]; };
    if (field(3).size() != 1) return std::nullopt;
    stat.state = field(3).front();
    auto ppid = Text::parseInt32(field(4));
    auto flags = Text::parseUInt64(field(9));
    auto utime = Text::parseUInt64(field(14));
    auto stime = Text::parseUInt64(field(15));
    auto threads = Text::parseInt64(field(20));
    auto start = Text::parseUInt64(field(22));
    if (!ppid || !flags || !utime || !stime || !threads || !start) return std::nullopt;
    stat.threads = *threads;
    stat.ppid = *ppid;
    stat.flags = *flags;
    stat.userTicks = *utime;
    stat.systemTicks = *stime;
    stat.startTicks = *start;
    return stat;
}

std::optional<Statm> parseStatm(std::string_view text) {
    std::string_view rest = text.substr(0, text.find('\n'));
    auto size = Text::nextToken(rest);
    auto resident = Text::nextToken(rest);
    auto shared = Text::nextToken(rest);
    if (!shared) return std::nullopt;
    auto sizeValue = Text::parseUInt64(*size);
    auto residentValue = Text::parseUInt64(*resident);
    auto sharedValue = Text::parseUInt64(*shared);
    if (!sizeValue || !residentValue || !sharedValue) return std::nullopt;
    return Statm{*sizeValue, *residentValue, *sharedValue};
}

std::optional<StatusMemory> parseStatusMemory(std::string_view text) {
    std::optional<std::uint64_t> resident, anonymous, shmem;
    for (auto line : Text::lines(text)) {
        auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        auto key = line.substr(0, colon);
        std::optional<std::uint64_t>* target = key == "VmRSS"      ? &resident
                                               : key == "RssAnon"  ? &anonymous
                                               : key == "RssShmem" ? &shmem
                                                                   : nullptr;
        if (!target) continue;
        std::string_view rest = Text::trim(line.substr(colon + 1));  // a tab, then right-aligned digits
        auto number = Text::nextToken(rest);
        auto unit = Text::nextToken(rest);
        if (!number || unit != "kB") continue;  // every memory line is in kB; anything else is garbled
        if (auto kilobytes = Text::parseUInt64(*number); kilobytes && *kilobytes <= UINT64_MAX / 1024)
            *target = *kilobytes * 1024;
    }
    if (!resident || !anonymous || !shmem) return std::nullopt;
    return StatusMemory{*resident, *anonymous, *shmem};
}

std::optional<std::uint32_t> parseStatusUid(std::string_view text) {
    for (auto line : Text::lines(text)) {
        if (!line.starts_with("Uid:")) continue;
        std::string_view rest = Text::trim(line.substr(4));
        auto value = Text::parseUInt64(rest.substr(0, rest.find_first_of(" \t")));  // tab-separated
        if (!value || *value > UINT32_MAX) return std::nullopt;
        return static_cast<std::uint32_t>(*value);
    }
    return std::nullopt;
}

std::optional<std::uint64_t> parseSchedRuntime(std::string_view text) {
    std::string_view rest = text.substr(0, text.find('\n'));
    auto first = Text::nextToken(rest);
    if (!first) return std::nullopt;
    return Text::parseUInt64(*first);
}

std::optional<double> parseUptime(std::string_view text) {
    std::string_view rest = text.substr(0, text.find('\n'));
    auto first = Text::nextToken(rest);
    if (!first) return std::nullopt;
    auto value = Text::parseDouble(*first);
    if (!value || *value < 0) return std::nullopt;
    return value;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> parseIo(std::string_view text) {
    std::optional<std::uint64_t> readBytes, writeBytes;
    for (auto line : Text::lines(text)) {
        auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        auto key = line.substr(0, colon);
        auto value = Text::parseUInt64(Text::trim(line.substr(colon + 1)));
        if (key == "read_bytes") readBytes = value;
        if (key == "write_bytes") writeBytes = value;
    }
    if (!readBytes || !writeBytes) return std::nullopt;
    return std::pair{*readBytes, *writeBytes};
}

std::optional<std::uint64_t> socketInode(std::string_view linkTarget) {
    constexpr std::string_view prefix = "socket:[";
    if (!linkTarget.starts_with(prefix) || !linkTarget.ends_with(']')) return std::nullopt;
    return Text::parseUInt64(linkTarget.substr(prefix.size(), linkTarget.size() - prefix.size() - 1));
}

std::vector<std::string> arguments(std::string_view rawCmdline) {
    if (rawCmdline.empty()) return {};
    if (rawCmdline.back() == '\0') rawCmdline.remove_suffix(1);
    std::vector<std::string> argv;
    for (auto piece : Text::fields(rawCmdline, '\0')) argv.emplace_back(piece);
    while (argv.size() > 1 && argv.back().empty()) argv.pop_back();
    return argv;
}

std::string commandLine(std::string_view rawCmdline) {
    std::string line;
    for (const auto& argument : arguments(rawCmdline)) {
        if (!line.empty()) line += ' ';
        line += argument;
    }
    return Text::repairUtf8(Text::trimEnd(line, Text::whitespace));
}

std::string_view withoutDeletedMark(std::string_view target) {
    constexpr std::string_view mark = " (deleted)";
    if (target.ends_with(mark)) target.remove_suffix(mark.size());
    return target;
}

}  // namespace tarvik::ProcFs

namespace tarvik::Files {

std::optional<std::string> read(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (count == 0) break;
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return text;
}

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) return names;
    while (const dirent* entry = ::readdir(directory)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(directory);
    return names;
}

}  // namespace tarvik::Files

namespace tarvik {

namespace {

// The kernel writes a process's file (stat, status, cmdline and the like) in one piece, so a read
// that leaves room in the buffer has had it all and the read that would say so is spared; a table
// (/proc/net/tcp) may stop short between its lines and is read to its end.
enum class Pieces { one, many };

std::optional<std::string> readAt(int directory, const std::string& relative, Pieces pieces) {
    int fd = openat(directory, relative.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string content;
    char buffer[4096];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            content.append(buffer, static_cast<std::size_t>(count));
            if (pieces == Pieces::one && static_cast<std::size_t>(count) < sizeof buffer) break;
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            close(fd);
            return std::nullopt;
        }
        break;
    }
    close(fd);
    return content;
}

// Only for files written in one piece (see readAt).
bool preadAll(int fd, std::string& content) {
    content.clear();
    char buffer[2048];
    off_t offset = 0;
    for (;;) {
        ssize_t count = pread(fd, buffer, sizeof buffer, offset);
        if (count > 0) {
            content.append(buffer, static_cast<std::size_t>(count));
            if (static_cast<std::size_t>(count) < sizeof buffer) return true;
            offset += count;
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        return count == 0;  // ESRCH once the process has exited
    }
}

std::optional<std::string> readLinkAt(int directory, const std::string& relative) {
    char buffer[4096];
    ssize_t length = readlinkat(directory, relative.c_str(), buffer, sizeof buffer);
    if (length < 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(length));
}

// Calls `visit` with the name of every entry of an open folder. getdents64 on the descriptor
// spares the fcntl and fstat that opendir adds, twice per process in a descriptor walk. The
// kernel fills the buffer for as long as entries remain, so one that left room for another entry
// was the last, and the call that would return nothing is spared: a process's descriptors are
// listed in one call.
template <typename Visit>
void forEachEntry(int folder, Visit&& visit) {
    alignas(8) char buffer[8192];
    constexpr std::size_t largestEntry = sizeof(dirent64);
    for (;;) {
        ssize_t length = getdents64(folder, buffer, sizeof buffer);
        if (length <= 0) return;
        for (ssize_t offset = 0; offset < length;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            const char* name = entry->d_name;
            if constexpr (std::is_same_v<std::invoke_result_t<Visit, const char*>, bool>) {
                if (!visit(name)) return;  // the visitor has seen enough
            } else {
                visit(name);
            }
            offset += entry->d_reclen;
        }
        if (sizeof buffer - static_cast<std::size_t>(length) >= largestEntry) return;
    }
}

std::string processFile(std::int32_t pid, std::string_view name) {
    std::string relative = std::to_string(pid);
    relative += '/';
    relative += name;
    return relative;
}

}  // namespace

ProcRoot::ProcRoot(std::string root) : m_root(std::move(root)) {
    m_fd = ::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

ProcRoot::~ProcRoot() {
    if (m_fd >= 0) close(m_fd);
}

ProcRoot::ProcRoot(ProcRoot&& other) noexcept : m_root(std::move(other.m_root)), m_fd(other.m_fd) {
    other.m_fd = -1;
}

ProcRoot& ProcRoot::operator=(ProcRoot&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) close(m_fd);
        m_root = std::move(other.m_root);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

std::vector<std::int32_t> ProcRoot::pids() const {
    std::vector<std::int32_t> result;
    if (m_fd < 0) return result;
    int fd = openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return result;
    forEachEntry(fd, [&](const char* name) {
        auto pid = name[0] >= '1' && name[0] <= '9' ? Text::parseInt32(name) : std::nullopt;
        if (pid && *pid > 0) result.push_back(*pid);
    });
    close(fd);
    std::sort(result.begin(), result.end());
    return result;
}

std::optional<std::string> ProcRoot::read(std::string_view relative) const {
    if (m_fd < 0) return std::nullopt;
    return readAt(m_fd, std::string(relative), Pieces::many);
}

std::optional<std::string> ProcRoot::read(std::int32_t pid, std::string_view name) const {
    if (m_fd < 0) return std::nullopt;
    return readAt(m_fd, processFile(pid, name), Pieces::one);
}

int ProcRoot::open(std::int32_t pid, std::string_view name) const {
    if (m_fd < 0) return -1;
    return openat(m_fd, processFile(pid, name).c_str(), O_RDONLY | O_CLOEXEC);
}

bool ProcRoot::readAgain(int fd, std::string& out) {
    return fd >= 0 && preadAll(fd, out);
}

std::optional<std::string> ProcRoot::readLink(std::int32_t pid, std::string_view name) const {
    if (m_fd < 0) return std::nullopt;
    return readLinkAt(m_fd, processFile(pid, name));
}

std::optional<ProcFs::Stat> ProcRoot::stat(std::int32_t pid) const {
    auto text = read(pid, "stat");
    if (!text) return std::nullopt;
    return ProcFs::parseStat(*text);
}

std::optional<std::vector<std::int32_t>> ProcRoot::children(std::int32_t pid, bool singleThreaded) const {
    if (m_fd < 0) return std::nullopt;
    const std::string tasks = processFile(pid, "task/");
    std::vector<std::string> threads{std::to_string(pid)};
    if (!singleThreaded) {
        int fd = openat(m_fd, tasks.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return std::nullopt;
        forEachEntry(fd, [&](const char* name) {
            if (name[0] >= '1' && name[0] <= '9' && threads.front() != name) threads.emplace_back(name);
        });
        close(fd);
    }
    std::vector<std::int32_t> result;
    for (const auto& thread : threads) {
        // A file of many children comes in several reads.
        auto listed = readAt(m_fd, tasks + thread + "/children", Pieces::many);
        if (!listed) {
            if (thread == threads.front()) return std::nullopt;
            continue;  // a thread that ended since the listing
        }
        for (auto word : Text::split(Text::trim(*listed, Text::whitespace), ' '))
            if (auto child = Text::parseInt32(word); child && *child > 0) result.push_back(*child);
    }
    return result;
}

std::vector<std::pair<int, std::uint64_t>> ProcRoot::socketDescriptors(std::int32_t pid) const {
    std::vector<std::pair<int, std::uint64_t>> result;
    if (m_fd < 0) return result;
    std::string folder = processFile(pid, "fd");
    int fd = openat(m_fd, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return result;  // gone, or another user's process
    char target[64];
    // Whether a link may be read, and whether it is a socket; false on a refusal, which holds for
    // every link of the process.
    auto readOne = [&](const char* name, int number) {
        ssize_t length = readlinkat(fd, name, target, sizeof target);
        if (length <= 0) return errno == ENOENT;  // closed since it was listed
        auto inode = ProcFs::socketInode(std::string_view(target, static_cast<std::size_t>(length)));
        if (inode) result.emplace_back(number, *inode);
        return true;
    };
    // Descriptor 0 is asked before the listing: a process that refuses its links (one that is not
    // dumpable) is passed over without listing its hundreds of descriptors first.
    if (readOne("0", 0))
        forEachEntry(fd, [&](const char* name) {
            auto number = Text::parseInt32(name);
            if (!number || *number == 0) return true;  // "." and "..", and the one read already
            return readOne(name, *number);
        });
    close(fd);
    std::sort(result.begin(), result.end());
    return result;
}

std::string ProcRoot::executablePath(std::int32_t pid, std::string_view comm, bool kernelThread) const {
    std::string bracketed = "[" + std::string(comm) + "]";
    if (kernelThread) return bracketed;
    // A program run from an anonymous memory file names no real path; its argv does better.
    if (auto target = readLink(pid, "exe"); target && !target->empty() && !target->starts_with("/memfd:"))
        return std::string(ProcFs::withoutDeletedMark(*target));
    // Another user's process: the exe link is closed to us, the command line is not.
    auto cmdline = read(pid, "cmdline");
    if (!cmdline || cmdline->empty()) return bracketed;
    std::string_view argv0(cmdline->data(), std::min(cmdline->find('\0'), cmdline->size()));
    // A relative argv[0] still names the program, unless the process wrote a title over it.
    if (!argv0.empty() && argv0.find(' ') == std::string_view::npos) return std::string(argv0);
    return std::string(comm);
}

ProcHandle::ProcHandle(const ProcRoot& root, std::int32_t pid, bool keepOpen)
    : m_pid(pid), m_keepOpen(keepOpen) {
    if (!keepOpen) return;
    m_statFd = root.open(pid, "stat");
}

ProcHandle::~ProcHandle() {
    closeAll();
}

ProcHandle::ProcHandle(ProcHandle&& other) noexcept
    : m_pid(other.m_pid),
      m_keepOpen(other.m_keepOpen),
      m_statFd(std::exchange(other.m_statFd, -1)),
      m_statusFd(std::exchange(other.m_statusFd, -1)),
      m_schedstatFd(std::exchange(other.m_schedstatFd, -1)) {}

ProcHandle& ProcHandle::operator=(ProcHandle&& other) noexcept {
    if (this != &other) {
        closeAll();
        m_pid = other.m_pid;
        m_keepOpen = other.m_keepOpen;
        m_statFd = std::exchange(other.m_statFd, -1);
        m_statusFd = std::exchange(other.m_statusFd, -1);
        m_schedstatFd = std::exchange(other.m_schedstatFd, -1);
    }
    return *this;
}

void ProcHandle::closeAll() {
    if (m_statFd >= 0) close(m_statFd);
    if (m_statusFd >= 0) close(m_statusFd);
    if (m_schedstatFd >= 0) close(m_schedstatFd);
    m_statFd = m_statusFd = m_schedstatFd = -1;
}

namespace {

bool readInto(const ProcRoot& root, std::int32_t pid, int fd, std::string_view name, std::string& buffer) {
    if (fd >= 0) return ProcRoot::readAgain(fd, buffer);
    auto text = root.read(pid, name);
    if (!text) return false;
    buffer = std::move(*text);
    return true;
}

}  // namespace

std::optional<ProcFs::Stat> ProcHandle::stat(const ProcRoot& root, std::string& buffer) const {
    if (!readInto(root, m_pid, m_statFd, "stat", buffer)) return std::nullopt;
    return ProcFs::parseStat(buffer);
}

std::optional<ProcFs::StatusMemory> ProcHandle::memory(const ProcRoot& root, std::string& buffer) {
    if (m_keepOpen && m_statusFd < 0) m_statusFd = root.open(m_pid, "status");
    if (!readInto(root, m_pid, m_statusFd, "status", buffer)) return std::nullopt;
    return ProcFs::parseStatusMemory(buffer);
}

std::optional<std::uint64_t> ProcHandle::runtime(const ProcRoot& root, std::string& buffer) {
    if (m_keepOpen && m_schedstatFd < 0) m_schedstatFd = root.open(m_pid, "schedstat");
    if (m_schedstatFd < 0 || !ProcRoot::readAgain(m_schedstatFd, buffer)) return std::nullopt;
    return ProcFs::parseSchedRuntime(buffer);
}

long ProcRoot::clockTicksPerSecond() {
    long value = sysconf(_SC_CLK_TCK);
    return value > 0 ? value : 100;
}

std::size_t ProcRoot::raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 256;
    rlim_t wanted = std::min<rlim_t>(limit.rlim_max, 65536);
    if (limit.rlim_cur < wanted) {
        rlimit raised = limit;
        raised.rlim_cur = wanted;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return static_cast<std::size_t>(limit.rlim_cur / 2);
}

void ProcRoot::reserveDescriptors(std::size_t count) {
    int highest = static_cast<int>(count);
    int source = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (source < 0) return;
    int probe = fcntl(source, F_DUPFD_CLOEXEC, highest);  // the table grows to hold it
    if (probe >= 0) close(probe);
    close(source);
}

long ProcRoot::pageSize() {
    long value = sysconf(_SC_PAGESIZE);
    return value > 0 ? value : 4096;
}

}  // namespace tarvik
