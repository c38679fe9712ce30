#include "core/platform/linux/SocketOwners.hpp"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>
#include <algorithm>
#include <filesystem>
#include <iterator>

#include "core/platform/linux/OwnerCache.hpp"
#include "core/platform/linux/ProcFs.hpp"
#include "core/servers/PortScanner.hpp"
#include "support/Listener.hpp"
#include "support/ProcStat.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

using test::Listener;

using Owners = std::unordered_map<std::int32_t, std::vector<ListeningSocket>>;

// The quick search for socket holders against a walk of every descriptor, on a population of
// processes that this test starts and ends itself.
constexpr std::uint32_t nobody = 65534;

void guard() {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // cleared by a change of user, so set again after one
    alarm(120);
}
void report(int fd, int value) {
    (void)!write(fd, &value, sizeof value);
}
bool becomeNobody() {
    return setresgid(nobody, nobody, nobody) == 0 && setresuid(nobody, nobody, nobody) == 0;
}

// Children that report numbers (ports, pids) over one pipe; each dies with its parent and after two
// minutes at most. The population kills them, and every pid they reported, when it goes.
struct Population {
    int pipeFds[2] = {-1, -1};
    std::vector<pid_t> pids;

    Population() { EXPECT_EQ(pipe(pipeFds), 0); }
    ~Population() {
        // Newest first: a reported pid is killed while its parent, listed before it, keeps it from reuse.
        for (auto pid = pids.rbegin(); pid != pids.rend(); ++pid)
            kill(*pid, SIGKILL), waitpid(*pid, nullptr, 0);
        close(pipeFds[0]), close(pipeFds[1]);
    }

    // Forks a child that runs `body` (only async-signal-safe calls) and then waits to be killed.
    template <typename Body>
    pid_t spawn(Body body) {
        pid_t pid = fork();
        if (pid == 0) {
            guard();
            body(pipeFds[1]);
            for (;;) pause();
        }
        if (pid > 0) pids.push_back(pid);
        return pid;
    }
    // The next number a child reported, kept as a pid to kill when `isPid`; -1 when none came within
    // ten seconds.
    int next(bool isPid = false) {
        pollfd wait{pipeFds[0], POLLIN, 0};
        int value = -1;
        if (poll(&wait, 1, 10'000) != 1 || read(pipeFds[0], &value, sizeof value) != sizeof value) return -1;
        if (isPid && value > 0) pids.push_back(value);
        return value;
    }

    // A socket listening on 127.0.0.1 and an ephemeral port, reported.
    static void listenReported(int fd) {
        int socketFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(socketFd, 4) != 0 ||
            getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            _exit(1);
        report(fd, ntohs(address.sin_port));
    }
    // Forks a child of the caller that keeps the caller's descriptors and reports its pid.
    static void forkWorker(int fd, bool asNobody) {
        if (fork() != 0) return;
        if (asNobody && !becomeNobody()) _exit(1);
        guard();
        report(fd, getpid());
        for (;;) pause();
    }
};

// The truth to hold the search against: every descriptor of every process read.
Owners fullWalk(const ProcRoot& root, const std::vector<ListeningSocket>& table,
                const std::vector<pid_t>& pids) {
    Owners owners;
    for (pid_t pid : pids)
        for (auto [fd, inode] : root.socketDescriptors(pid))
            for (const auto& socket : table)
                if (socket.inode == inode) owners[pid].push_back(socket);
    return owners;
}

// The kernel's table cut down to the listeners of this test: a socket that another process opens
// meanwhile would be one nobody is known to hold, and would make a walk the test did not ask for.
std::vector<ListeningSocket> tableOf(const std::vector<int>& ports) {
    auto table = SocketTable::queryNetlink().value_or(std::vector<ListeningSocket>{});
    std::erase_if(table, [&](const ListeningSocket& socket) {
        return socket.address != "127.0.0.1" ||
               std::find(ports.begin(), ports.end(), socket.port) == ports.end();
    });
    return table;
}

// The test walks only its own processes, so every other process on the machine stays untouched.
TEST(SocketOwners, RemembersHoldersAndWalksOnlyWhatIsNew) {
    ProcRoot root;
    SocketOwners owners;
    Listener first;
    const std::int32_t self = getpid();
    std::vector<LibProc::ProcessRef> processes{{self, getppid()}};
    // A socket whose holder is not among the processes given (another user's, or hidden) is kept
    // as unowned, so that the scan can still list its port.
    const auto one = tableOf({first.port()});
    (void)owners.resolve(root, one, {});
    EXPECT_EQ(owners.unowned(), one) << "no process given: nobody holds it";
    EXPECT_EQ(one.at(0).uid, geteuid()) << "the kernel's table names the listener's owner";

    EXPECT_EQ(owners.resolve(root, one, processes), (Owners{{self, one}}));
    EXPECT_EQ(owners.lastWalkCount(), 1u);
    EXPECT_TRUE(owners.unowned().empty());
    EXPECT_EQ(owners.resolve(root, one, processes), (Owners{{self, one}}));
    EXPECT_EQ(owners.lastWalkCount(), 0u) << "a known holder is checked, not walked";

    // A forked worker shares the socket: found because its parent holds one.
    Population population;
    const pid_t child = population.spawn([](int) {});
    ASSERT_GT(child, 0);
    processes.push_back({child, self});
    EXPECT_EQ(owners.resolve(root, one, processes), (Owners{{self, one}, {child, one}}));
    EXPECT_EQ(owners.lastWalkCount(), 1u);

    // A socket nobody is known to hold yet makes one full walk.
    Listener second;
    auto both = one;
    both.push_back(tableOf({second.port()}).at(0));
    EXPECT_EQ(owners.resolve(root, both, processes), (Owners{{self, both}, {child, one}}));
    EXPECT_EQ(owners.lastWalkCount(), 2u);

    kill(child, SIGKILL), waitpid(child, nullptr, 0), population.pids.pop_back();
    processes.pop_back();
    EXPECT_EQ(owners.resolve(root, both, processes), (Owners{{self, both}}));
}

// Prefork workers forked long after their parent (past the first batch the search reads), a worker
// that changed its user, and a server that dropped to another user after binding as root.
TEST(SocketOwnersPopulation, TheQuickSearchFindsWhatAFullWalkFinds) {
    const bool root = geteuid() == 0;
    Population population;
    std::vector<int> ports;
    std::vector<pid_t> workers;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    const pid_t master = population.spawn([&](int fd) {
        Population::listenReported(fd);
        char byte;
        if (read(go[0], &byte, 1) != 1) _exit(1);
        Population::forkWorker(fd, false);
        Population::forkWorker(fd, false);
    });
    ports.push_back(population.next());
    if (root) {
        population.spawn([](int fd) {
            Population::listenReported(fd);
            Population::forkWorker(fd, true);
        });
        ports.push_back(population.next());
        workers.push_back(population.next(true));
        population.spawn([](int fd) {
            Population::listenReported(fd);
            if (!becomeNobody()) _exit(1);
            guard();
        });
        ports.push_back(population.next());
    }
    for (int i = 0; i < 80; ++i) population.spawn([](int) {});
    ASSERT_EQ(write(go[1], "x", 1), 1);
    workers.push_back(population.next(true));
    workers.push_back(population.next(true));
    close(go[0]), close(go[1]);
    ASSERT_EQ(std::count(ports.begin(), ports.end(), -1) + std::count(workers.begin(), workers.end(), -1), 0);

    ProcRoot procRoot;
    std::vector<ListeningSocket> table;
    // Bounded: a child reports its port before the kernel's table is asked.
    ASSERT_TRUE(test::waitUntil(std::chrono::seconds(10),
                                [&] { return (table = tableOf(ports)).size() == ports.size(); }));

    auto pids = population.pids;
    pids.push_back(getpid());
    std::sort(pids.begin(), pids.end());
    std::vector<LibProc::ProcessRef> bare, whole;
    for (pid_t pid : pids) {
        auto stat = procRoot.stat(pid);
        ASSERT_TRUE(stat) << pid;
        bare.push_back({pid, 0, 0});
        whole.push_back({pid, stat->ppid, 0, stat->startTicks});
    }
    const Owners expected = fullWalk(procRoot, table, pids);
    ASSERT_EQ(expected.size(), root ? 6u : 3u)
        << "each holder, each worker, the changed worker and the dropped server";

    // As a one-shot listing runs it: a first pass knowing only pids, which stops before the
    // workers forked last and finds them through the holders' own files, then the scan with
    // parents and start stamps.
    SocketOwners cold;
    EXPECT_EQ(cold.resolve(procRoot, table, bare), expected);
    EXPECT_LT(cold.lastWalkCount(), pids.size()) << "the search stopped early";
    EXPECT_EQ(cold.resolve(procRoot, table, whole), expected);
    EXPECT_TRUE(cold.unowned().empty());

    // As a listing that remembers nothing runs it: the same first pass, then the holders' trees.
    SocketOwners lean;
    PortScanner::Sources leanSources;
    leanSources.listeningSockets = [&](const std::vector<LibProc::ProcessRef>& processes) {
        std::unordered_map<std::int32_t, std::vector<LibProc::Socket>> sockets;
        for (const auto& [pid, held] : lean.resolve(procRoot, table, processes))
            sockets[pid].resize(held.size());
        return sockets;
    };
    ProcessSampler trees(ProcessSampler::Sources::live(false, false, true));
    auto listeners = PortScanner::listeners(leanSources, pids, trees);
    ASSERT_TRUE(listeners) << "this kernel lists children";
    std::vector<std::int32_t> sampled;
    for (const auto& record : listeners->snapshot.records) sampled.push_back(record.pid);
    for (const auto& [pid, sockets] : expected)
        EXPECT_TRUE(std::find(sampled.begin(), sampled.end(), pid) != sampled.end()) << pid;

    // The next run takes up what this one learnt and walks nothing, as nothing is new.
    SocketOwners warm;
    auto learnt = cold.remembered();
    std::reverse(learnt.holders.begin(), learnt.holders.end());
    std::reverse(learnt.processes.begin(), learnt.processes.end());
    warm.recall(learnt);
    EXPECT_EQ(warm.resolve(procRoot, table, whole), expected);
    EXPECT_EQ(warm.lastWalkCount(), 0u);
    EXPECT_EQ(warm.remembered(), cold.remembered()) << "nothing changed, so nothing to write again";

    // A memory whose start stamps name other processes is not trusted: the search starts over.
    auto stale = cold.remembered();
    for (auto& entry : stale.holders) ++entry.holder.startTicks;
    for (auto& process : stale.processes) ++process.startTicks;
    SocketOwners misled;
    misled.recall(stale);
    EXPECT_EQ(misled.resolve(procRoot, table, whole), expected);
    EXPECT_GT(misled.lastWalkCount(), 0u);

    // A worker larger than its parent is walked first and its socket then has a holder; the parent,
    // walked last by size, shares it and is found all the same.
    std::vector<ListeningSocket> shared;
    std::copy_if(table.begin(), table.end(), std::back_inserter(shared),
                 [&](const ListeningSocket& socket) { return socket.port == ports.front(); });
    auto sized = whole;
    for (auto& process : sized)
        process.memoryBytes = process.pid == workers.back() ? 1u << 30 : process.pid == master ? 0 : 1u << 20;
    const Owners sharers = fullWalk(procRoot, shared, pids);
    ASSERT_EQ(sharers.size(), 3u) << "the parent and its two workers";
    SocketOwners bySize;
    EXPECT_EQ(bySize.resolve(procRoot, shared, sized), sharers);
}

using test::TempDir;

const SocketOwners::Memory memory{{{41, {100, 3, 5000}}, {41, {101, 3, 5001}}, {42, {100, 7, 5000}}},
                                  {{100, 5000, true}, {101, 5001, true}, {102, 5002, false}},
                                  {43}};

TEST(OwnerCache, ReadsBackWhatItWroteAndNothingElse) {
    const std::string text = OwnerCache::format(memory, "boot-a");
    EXPECT_EQ(OwnerCache::parse(text, "boot-a"), memory);
    EXPECT_EQ(OwnerCache::parse(OwnerCache::format({}, "boot-a"), "boot-a"), SocketOwners::Memory{});

    auto replaced = [&](std::string_view from, std::string_view to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    const std::pair<std::string, std::string> garbled[] = {
        {"cut short", text.substr(0, text.size() - 4)},
        {"without its last newline", text.substr(0, text.size() - 1)},
        {"another version", replaced("owners 1", "owners 2")},
        {"a number that is not one", replaced("holder 41 100", "holder 41 1x0")},
        {"a pid of 0", replaced("process 102", "process 0")},
        {"a pid out of range", replaced("process 102", "process 4294967398")},
        {"a missing field", replaced(" 5002 seen", " seen")},
        {"an unknown line", replaced("unfound 43", "unheard 43")},
        {"an empty line", replaced("unfound 43\n", "unfound 43\n\n")},
        {"two spaces", replaced("unfound 43", "unfound  43")},
        {"nothing", ""}};
    for (const auto& [what, bad] : garbled) EXPECT_EQ(OwnerCache::parse(bad, "boot-a"), std::nullopt) << what;
}

mode_t modeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : ~0u;
}

TEST(OwnerCache, KeepsItsFileToThisUserAndIgnoresAnyOther) {
    TempDir runtime;
    const std::string folder = runtime.path().string(), file = runtime / "tarvik/socket-owners";
    const auto load = [&] { return OwnerCache::load(folder, "boot-a"); };
    EXPECT_EQ(load(), std::nullopt) << "none written yet";
    ASSERT_TRUE(OwnerCache::save(folder, "boot-a", memory));
    EXPECT_EQ(modeOf(runtime / "tarvik"), 0700u);
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_EQ(load(), memory);
    EXPECT_EQ(OwnerCache::load(folder, "boot-b"), std::nullopt) << "pids and inodes of another boot";
    EXPECT_EQ(OwnerCache::load("relative/folder", "boot-a"), std::nullopt);

    // Each change makes the file one that another user could have written or read.
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    EXPECT_EQ(load(), std::nullopt) << "a file others may read";
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    ASSERT_EQ(chmod((runtime / "tarvik").c_str(), 0755), 0);
    EXPECT_EQ(load(), std::nullopt) << "a folder others may list";
    EXPECT_FALSE(OwnerCache::save(folder, "boot-a", memory)) << "nor is such a folder written to";
    ASSERT_EQ(chmod((runtime / "tarvik").c_str(), 0700), 0);
    EXPECT_EQ(load(), memory);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
        EXPECT_EQ(load(), std::nullopt) << "another user's file";
    }

    // A link in the file's place is not followed, even to a file of the right kind.
    runtime.write("elsewhere", OwnerCache::format(memory, "boot-a"));
    ASSERT_EQ(chmod((runtime / "elsewhere").c_str(), 0600), 0);
    std::filesystem::remove(file);
    runtime.link("tarvik/socket-owners", runtime / "elsewhere");
    EXPECT_EQ(load(), std::nullopt);

    // A save replaces whatever lies there whole.
    ASSERT_TRUE(OwnerCache::save(folder, "boot-a", memory));
    EXPECT_EQ(load(), memory);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(runtime / "tarvik"), {}), 1)
        << "no temporary file left behind";
}

}  // namespace
}  // namespace tarvik
