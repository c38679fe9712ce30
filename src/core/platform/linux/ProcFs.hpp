#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Pure parsers of the kernel's /proc text formats (see proc(5)).
namespace tarvik::ProcFs {

// /proc/PID/stat. comm may hold spaces and parentheses, so the fields are read after the last ')'.
struct Stat {
    std::string comm;
    char state = '?';
    std::int32_t ppid = 0;
    std::uint64_t flags = 0;
    std::uint64_t userTicks = 0;
    std::uint64_t systemTicks = 0;
    std::int64_t threads = 0;
    std::uint64_t startTicks = 0;  // since boot

    // PF_KTHREAD: a kernel thread has no executable and no memory of its own.
    [[nodiscard]] bool isKernelThread() const { return (flags & 0x00200000u) != 0; }
    bool operator==(const Stat&) const = default;
};
[[nodiscard]] std::optional<Stat> parseStat(std::string_view text);

// /proc/PID/statm, in pages.
struct Statm {
    std::uint64_t size = 0;
    std::uint64_t resident = 0;
    std::uint64_t shared = 0;
    bool operator==(const Statm&) const = default;
};
[[nodiscard]] std::optional<Statm> parseStatm(std::string_view text);

// The resident-memory lines of /proc/PID/status, in bytes (the kernel writes kB). Kernel threads
// have none; kernels before 4.5 lack RssAnon and RssShmem: nullopt.
struct StatusMemory {
    std::uint64_t resident = 0;   // VmRSS
    std::uint64_t anonymous = 0;  // RssAnon
    std::uint64_t shmem = 0;      // RssShmem: shared memory and tmpfs pages the process mapped
    // What the process holds itself: its anonymous pages and the shared memory it mapped (the
    // buffers of a database, a browser's shared memory). statm's resident minus shared would drop
    // the latter, since its "shared" counts RssShmem beside the file pages.
    [[nodiscard]] std::uint64_t footprint() const { return anonymous + shmem; }
    bool operator==(const StatusMemory&) const = default;
};
[[nodiscard]] std::optional<StatusMemory> parseStatusMemory(std::string_view text);
// The real user id of /proc/PID/status ("Uid:" followed by real, effective, saved and file ids).
[[nodiscard]] std::optional<std::uint32_t> parseStatusUid(std::string_view text);

// The time the task has run, in nanoseconds: the first field of /proc/PID/schedstat. It counts
// the main thread only, but for a single-threaded process it moves exactly when the process runs.
[[nodiscard]] std::optional<std::uint64_t> parseSchedRuntime(std::string_view text);

// Seconds since boot, the first field of /proc/uptime.
[[nodiscard]] std::optional<double> parseUptime(std::string_view text);

// read_bytes and write_bytes of /proc/PID/io.
[[nodiscard]] std::optional<std::pair<std::uint64_t, std::uint64_t>> parseIo(std::string_view text);

// The inode of an fd link target "socket:[INODE]"; nullopt for anything else.
[[nodiscard]] std::optional<std::uint64_t> socketInode(std::string_view linkTarget);

// The NUL-separated arguments of a cmdline (a trailing NUL ends the last one), byte for byte as the
// process was started, so that it can be started again the same. A process that rewrote its title
// pads the old argv with NULs; those empty trailing pieces are not arguments.
[[nodiscard]] std::vector<std::string> arguments(std::string_view rawCmdline);

// The arguments joined by single spaces, as `ps` prints them and as the rules that match command
// lines read them, without the spaces a rewritten title is padded with, decoded as UTF-8 with
// repair. Empty for an empty cmdline.
[[nodiscard]] std::string commandLine(std::string_view rawCmdline);

// A readlink target of /proc/PID/exe without the kernel's " (deleted)" mark.
[[nodiscard]] std::string_view withoutDeletedMark(std::string_view target);

}  // namespace tarvik::ProcFs

namespace tarvik::Files {

// A whole file of /proc or /sys; nullopt when it cannot be opened or read (a sensor that is
// switched off answers reads with an error rather than a value).
[[nodiscard]] std::optional<std::string> read(const std::string& path);

// The names in a folder but "." and ".."; empty when it cannot be opened. Unsorted.
[[nodiscard]] std::vector<std::string> entries(const std::string& folder);

}  // namespace tarvik::Files

namespace tarvik {

// Reads a /proc tree: the live one by default, or a fixture tree a test builds. Every read of a
// vanished process or missing file gives nullopt. Movable, not copyable; safe to share between
// threads for reading.
class ProcRoot {
public:
    explicit ProcRoot(std::string root = "/proc");
    ~ProcRoot();
    ProcRoot(ProcRoot&& other) noexcept;
    ProcRoot& operator=(ProcRoot&& other) noexcept;
    ProcRoot(const ProcRoot&) = delete;
    ProcRoot& operator=(const ProcRoot&) = delete;

    [[nodiscard]] const std::string& path() const { return m_root; }
    [[nodiscard]] bool isLive() const { return m_root == "/proc"; }

    // Numeric entries, ascending.
    [[nodiscard]] std::vector<std::int32_t> pids() const;

    // A file below the root ("uptime", "net/tcp") or below the process's folder.
    [[nodiscard]] std::optional<std::string> read(std::string_view relative) const;
    [[nodiscard]] std::optional<std::string> read(std::int32_t pid, std::string_view name) const;
    [[nodiscard]] std::optional<std::string> readLink(std::int32_t pid, std::string_view name) const;

    [[nodiscard]] std::optional<ProcFs::Stat> stat(std::int32_t pid) const;

    // An open descriptor of the process's file (-1 on failure) for `readAgain`; the caller closes it.
    // Opening is most of the cost of a /proc read, so a steady reader keeps its descriptors.
    [[nodiscard]] int open(std::int32_t pid, std::string_view name) const;
    // The whole file from its start into `out` (reusing its capacity); false once the process is gone.
    [[nodiscard]] static bool readAgain(int fd, std::string& out);

    // The process's children, as the children files of its threads list them: a child is listed
    // under the thread that started it. A caller that knows the process has a single thread says
    // so, and only the main thread's file is read. nullopt when that file cannot be read: the
    // process is gone, or the kernel keeps no such files.
    [[nodiscard]] std::optional<std::vector<std::int32_t>> children(std::int32_t pid,
                                                                    bool singleThreaded = false) const;

    // The descriptors of the process that are sockets, as (fd, inode), ascending by fd.
    [[nodiscard]] std::vector<std::pair<int, std::uint64_t>> socketDescriptors(std::int32_t pid) const;

    // Executable path: the exe link (but for an anonymous memory file); else argv[0] unless it
    // holds a title with spaces; "[comm]" for kernel threads and processes without a command
    // line; else the bare comm.
    [[nodiscard]] std::string executablePath(std::int32_t pid, std::string_view comm,
                                             bool kernelThread) const;

    [[nodiscard]] static long clockTicksPerSecond();
    // Raises this process's soft limit of open descriptors toward the hard limit (at most 65536)
    // and returns how many a reader may keep open: half the soft limit now in force, so that the
    // rest of the program never runs short. Its owner calls it once and keeps the answer.
    [[nodiscard]] static std::size_t raiseDescriptorLimit();
    // Grows this process's descriptor table to hold `count` descriptors now. Growing it while
    // other threads run waits for an RCU grace period each time the table doubles, which made a
    // reader that keeps a descriptor per process several times slower; call it early.
    static void reserveDescriptors(std::size_t count);
    [[nodiscard]] static long pageSize();

private:
    std::string m_root;
    int m_fd = -1;  // the root folder, so that per-process reads need no path walk from "/"
};

// The stat and status files of one process, kept open between reads: opening a /proc file costs
// several times what reading it again does. Without descriptors (`keepOpen` false, or opening
// failed) each read opens the file afresh. A descriptor outlives a reused pid harmlessly: it reads
// nothing once its process is gone.
class ProcHandle {
public:
    ProcHandle() = default;
    ProcHandle(const ProcRoot& root, std::int32_t pid, bool keepOpen);
    ~ProcHandle();
    ProcHandle(ProcHandle&& other) noexcept;
    ProcHandle& operator=(ProcHandle&& other) noexcept;
    ProcHandle(const ProcHandle&) = delete;
    ProcHandle& operator=(const ProcHandle&) = delete;

    // `buffer` is scratch space a steady caller keeps to spare an allocation per read.
    [[nodiscard]] std::optional<ProcFs::Stat> stat(const ProcRoot& root, std::string& buffer) const;
    // Its file is kept open from the first call, so that a reader of stat alone never pays for it.
    [[nodiscard]] std::optional<ProcFs::StatusMemory> memory(const ProcRoot& root, std::string& buffer);
    // The main thread's run time; nullopt when descriptors are not kept (it is only worth asking
    // when it is cheaper than stat) or once the process is gone. Its file is opened on the first
    // call, so that a one-shot reader never pays for it.
    [[nodiscard]] std::optional<std::uint64_t> runtime(const ProcRoot& root, std::string& buffer);
    // Descriptors held (0 to 3).
    [[nodiscard]] int descriptors() const {
        return (m_statFd >= 0) + (m_statusFd >= 0) + (m_schedstatFd >= 0);
    }
    static constexpr int maxDescriptors = 3;

private:
    void closeAll();
    std::int32_t m_pid = 0;
    bool m_keepOpen = false;
    int m_statFd = -1;
    int m_statusFd = -1;
    int m_schedstatFd = -1;
};

}  // namespace tarvik
