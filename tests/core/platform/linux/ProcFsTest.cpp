#include "core/platform/linux/ProcFs.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <vector>

#include "core/platform/linux/SocketTable.hpp"
#include "support/FakeProc.hpp"
#include "support/Fixtures.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

TEST(ProcFsStat, ReadsFieldsAfterTheLastParenthesisAndRejectsTruncatedOrGarbledLines) {
    EXPECT_EQ(ProcFs::parseStat(test::fixture("proc/stat_comm_with_parens")),
              (ProcFs::Stat{"a) b (c", 'S', 1, 4194560, 250, 50, 1, 123456}));
    EXPECT_TRUE(ProcFs::parseStat(test::fixture("proc/stat_kernel_thread")).value().isKernelThread());
    EXPECT_FALSE(ProcFs::parseStat(test::fixture("proc/stat_truncated")));
    EXPECT_FALSE(ProcFs::parseStat("12 node S 1"));
}

TEST(ProcFsSmallFiles, ParseOrGiveNothing) {
    EXPECT_EQ(ProcFs::parseStatm("2000 512 128 10 0 300 0\n"), (ProcFs::Statm{2000, 512, 128}));
    EXPECT_FALSE(ProcFs::parseStatm("2000 x 128"));
    EXPECT_EQ(ProcFs::parseUptime("12345.67 23456.78\n"), 12345.67);
    EXPECT_FALSE(ProcFs::parseUptime("garbage"));
    EXPECT_EQ(ProcFs::parseIo("rchar: 10\nwchar: 20\nread_bytes: 4096\nwrite_bytes: 8192\n"),
              (std::pair<std::uint64_t, std::uint64_t>{4096, 8192}));
    EXPECT_FALSE(ProcFs::socketInode("pipe:[19112]"));
    EXPECT_FALSE(ProcFs::socketInode("socket:[]"));
}

TEST(ProcFsStatus, FootprintIsAnonymousPlusSharedMemoryOrNothing) {
    using Memory = ProcFs::StatusMemory;
    const std::tuple<const char*, const char*, std::optional<Memory>> cases[] = {
        {"a database with shared buffers",
         "Name:\tpostgres\nVmRSS:\t   80000 kB\nRssAnon:\t    6000 kB\nRssFile:\t    8464 kB\n"
         "RssShmem:\t   65536 kB\nThreads:\t1\n",
         Memory{80000 * 1024, 6000 * 1024, 65536 * 1024}},
        {"a kernel before RssShmem", "VmRSS:\t 10 kB\nRssAnon:\t 5 kB\n", std::nullopt},
        {"a garbled unit", "VmRSS:\t 10 kB\nRssAnon:\t 5 MB\nRssShmem:\t 1 kB\n", std::nullopt},
        {"an overflowing figure", "VmRSS:\t 99999999999999999 kB\nRssAnon:\t 5 kB\nRssShmem:\t 1 kB\n",
         std::nullopt}};
    for (const auto& [what, text, memory] : cases) EXPECT_EQ(ProcFs::parseStatusMemory(text), memory) << what;
    EXPECT_EQ(ProcFs::parseStatusMemory(std::get<1>(cases[0]))->footprint(), (6000u + 65536u) * 1024);
    EXPECT_EQ(ProcFs::parseStatusUid("Name:\tx\nUid:\t1000\t0\t0\t0\nGid:\t5\n"), 1000u) << "the real id";
    EXPECT_EQ(ProcFs::parseStatusUid("Uid:\tx\t0\n"), std::nullopt);
    EXPECT_EQ(ProcFs::parseStatusUid("Gid:\t0\n"), std::nullopt);
}

TEST(ProcFsCommandLine, JoinsArgumentsAsPsPrintsThemAndKeepsThemApart) {
    using namespace std::string_literals;
    using Argv = std::vector<std::string>;
    const std::tuple<std::string, std::string, Argv> cases[] = {
        {"/usr/bin/node\0server.js\0--port=3000\0"s, "/usr/bin/node server.js --port=3000",
         Argv{"/usr/bin/node", "server.js", "--port=3000"}},
        {"/usr/libexec/some daemon\0--flag\0"s, "/usr/libexec/some daemon --flag",
         Argv{"/usr/libexec/some daemon", "--flag"}},
        {"run\0\0last\0"s, "run  last", Argv{"run", "", "last"}},
        {"nginx: master process /usr/sbin/nginx\0\0\0\0"s, "nginx: master process /usr/sbin/nginx",
         Argv{"nginx: master process /usr/sbin/nginx"}},
        {"postgres: checkpointer   \0"s, "postgres: checkpointer", Argv{"postgres: checkpointer   "}},
        {"/opt/Gr\xfcn/bin/tool\0"s, "/opt/Gr\uFFFDn/bin/tool", Argv{"/opt/Gr\xfcn/bin/tool"}},
        {""s, "", Argv{}}};
    for (const auto& [raw, line, argv] : cases)
        EXPECT_EQ(std::pair(ProcFs::commandLine(raw), ProcFs::arguments(raw)), std::pair(line, argv)) << line;
}

TEST(ProcRootTree, NamesExecutablesLikeTheKernelDoes) {
    using namespace std::string_literals;
    test::FakeProc proc;
    proc.add({.pid = 10, .comm = "node", .exe = "/usr/bin/node", .cmdline = "node\0a.js\0"s});
    proc.add({.pid = 11, .comm = "sleep", .exe = "/tmp/x/sleep (deleted)", .cmdline = "sleep\0"s});
    // Another user's process: no exe link to read.
    proc.add({.pid = 12, .comm = "sshd", .cmdline = "/usr/sbin/sshd\0-D\0"s});
    proc.add({.pid = 13, .comm = "postgres", .cmdline = "postgres: checkpointer\0"s});
    proc.add({.pid = 14, .ppid = 2, .comm = "kworker/0:1", .kernelThread = true});
    proc.add({.pid = 15, .comm = "defunct"});
    proc.add(
        {.pid = 16, .comm = "runc", .exe = "/memfd:runc (deleted)", .cmdline = "/usr/bin/runc\0init\0"s});

    ProcRoot root(proc.root());
    EXPECT_EQ(root.pids(), (std::vector<std::int32_t>{10, 11, 12, 13, 14, 15, 16}));
    std::vector<std::string> paths;
    for (auto pid : root.pids()) {
        auto stat = root.stat(pid);
        paths.push_back(root.executablePath(pid, stat->comm, stat->isKernelThread()));
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/usr/bin/node", "/tmp/x/sleep", "/usr/sbin/sshd", "postgres",
                                               "[kworker/0:1]", "[defunct]", "/usr/bin/runc"}));
    EXPECT_FALSE(root.stat(99));
}

// A child is listed under the thread that started it, so every thread's file is read, unless the
// caller knows there is one thread; a thread that ended since the listing is passed over.
TEST(ProcRootTree, ListsChildrenUnderEveryThreadOrSaysItCannot) {
    test::FakeProc proc;
    proc.add({.pid = 10, .threads = 2, .children = {{10, "12 13 "}, {11, "14\n"}, {15, "16"}}});
    std::filesystem::remove(std::filesystem::path(proc.root()) / "10/task/15/children");
    proc.add({.pid = 20, .children = {{20, ""}}});
    proc.add({.pid = 30});  // a kernel that keeps no children files
    std::string many;
    std::vector<std::int32_t> manyChildren;
    for (std::int32_t pid = 1000; pid < 3000; ++pid)
        many += std::to_string(pid) + " ", manyChildren.push_back(pid);
    proc.add({.pid = 40, .children = {{40, many}}});

    ProcRoot root(proc.root());
    using Children = std::optional<std::vector<std::int32_t>>;
    const std::vector<std::tuple<std::int32_t, bool, Children>> cases{
        {10, false, std::vector<std::int32_t>{12, 13, 14}},
        {10, true, std::vector<std::int32_t>{12, 13}},
        {20, false, std::vector<std::int32_t>{}},
        {30, false, std::nullopt},
        {30, true, std::nullopt},
        {99, false, std::nullopt},
        {40, true, manyChildren},
    };
    for (const auto& [pid, singleThreaded, expected] : cases)
        EXPECT_EQ(root.children(pid, singleThreaded), expected) << pid << (singleThreaded ? " single" : "");
}

// Larger than one listing call or one read returns: a machine of thousands of processes, a
// server of thousands of descriptors, a command line of many pages. Nothing is lost at the seams.
TEST(ProcRootTree, ListsLargeFoldersAndReadsLongFilesWhole) {
    test::FakeProc proc;
    std::vector<std::int32_t> pids;
    for (std::int32_t pid = 100; pid < 1100; ++pid) pids.push_back(pid);
    const std::string cmdline(3 * 4096 + 17, 'a');
    for (std::int32_t pid : pids) proc.add({.pid = pid, .cmdline = pid == 100 ? cmdline : "x"});
    const auto folder = std::filesystem::path(proc.root()) / "100" / "fd";
    std::filesystem::create_directories(folder);
    std::vector<std::pair<int, std::uint64_t>> sockets;
    for (int fd = 0; fd < 1500; ++fd) {
        const bool socket = fd % 3 == 0;
        std::filesystem::create_symlink(socket ? "socket:[" + std::to_string(9000 + fd) + "]" : "/dev/null",
                                        folder / std::to_string(fd));
        if (socket) sockets.emplace_back(fd, 9000 + fd);
    }

    ProcRoot root(proc.root());
    EXPECT_EQ(root.pids(), pids);
    EXPECT_EQ(root.socketDescriptors(100), sockets);
    EXPECT_EQ(root.read(100, "cmdline").value_or("").size(), cmdline.size());
}

TEST(SocketTableFiles, KeepsListeningRowsAndSkipsGarbledOnes) {
    auto v4 = SocketTable::parseProcNet(test::fixture("proc/net_tcp_listen_established_garbled"));
    EXPECT_EQ(v4, (std::vector<ListeningSocket>{{19112, 3000, "127.0.0.1", 1000}, {1346, 2024, "*", 0}}));

    auto v6 = SocketTable::parseProcNet(
        test::fixture("proc/net_tcp6_wildcard_loopback_mapped_and_mapped_wildcard"));
    EXPECT_EQ(v6, (std::vector<ListeningSocket>{{19113, 8080, "*", 0},
                                                {19114, 5432, "::1", 999},
                                                {19117, 3000, "127.0.0.1", 0},
                                                {19118, 9000, "*", 1000}}));
    // The fixtures hold the wildcards, loopbacks and mapped addresses; an address that only looks
    // mapped stays IPv6.
    const std::uint8_t notMapped[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0};
    EXPECT_EQ(SocketTable::addressText(notMapped, true), "::ff:0:0");
    test::TempDir dir;
    dir.write("net/tcp", test::fixture("proc/net_tcp_listen_established_garbled"));
    dir.write("net/tcp6", test::fixture("proc/net_tcp6_wildcard_loopback_mapped_and_mapped_wildcard"));
    EXPECT_EQ(SocketTable::read(ProcRoot(dir.path().string())).size(), 6u) << "read from a root's net files";
}

}  // namespace
}  // namespace tarvik
