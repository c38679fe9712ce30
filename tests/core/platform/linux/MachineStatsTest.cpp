#include "core/platform/linux/MachineStats.hpp"

#include <gtest/gtest.h>

#include "core/platform/linux/CgroupMemory.hpp"
#include "core/platform/linux/ProcFs.hpp"
#include "core/platform/linux/SystemStatsLinux.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

using namespace MachineStats;

TEST(MachineStats, FoldsCpuTicksAndSkipsGarbledLines) {
    auto stat = parseCpuStat(
        "cpu  100 5 40 800 20 3 2 1 7 0\ncpu1 50 0 20 400 10 1 1 0 0 0\ncpu0 50 5 20 400 10 2 1 1 0 0\n"
        "cpu2 garbled\nintr 1716108 0 0\nctxt 12\n");
    EXPECT_EQ(stat, (CpuStat{{105, 46, 820}, {{55, 24, 410}, {50, 22, 410}}}));
    EXPECT_FALSE(parseCpuStat("intr 1 2 3\n"));
}

TEST(MachineStats, ReadsMemoryPressureAndSwap) {
    auto meminfo = parseMeminfo(
        "MemTotal:       16000000 kB\nMemFree:         1000000 kB\nMemAvailable:    9000000 kB\n"
        "Buffers:           50000 kB\nCached:          4000000 kB\nSwapTotal:       2000000 kB\n"
        "SwapFree:        1500000 kB\nZswap:             30000 kB\nAnonPages:       5000000 kB\n"
        "SReclaimable:     200000 kB\nSUnreclaim:       100000 kB\nKernelStack:       20000 kB\n"
        "PageTables:        80000 kB\nHugePages_Total:       4\ngarbage line\n");
    auto memory = LinuxMemory::breakdown(meminfo, 0);
    ASSERT_TRUE(memory);
    const std::uint64_t k = 1024;
    EXPECT_EQ(*memory, (MemoryBreakdown{16000000 * k, 5000000 * k, 200000 * k, 30000 * k, 4250000 * k,
                                        1000000 * k, 500000 * k, 2000000 * k}));
    EXPECT_EQ(meminfo.at("HugePages_Total"), 4u) << "counts are not kilobytes";
    EXPECT_EQ(LinuxMemory::usage(meminfo), (MemoryUsage{7000000 * k, 16000000 * k}));
    meminfo["Zswap"] = 0;
    EXPECT_EQ(LinuxMemory::breakdown(meminfo, 777)->compressed, 777u) << "zram holds what zswap does not";

    EXPECT_EQ(parseVmstat("pgpgin 10\npswpout 42\n", "pswpout"), 42u);
    using enum MemoryPressure;
    for (auto [some, full, level] :
         {std::tuple{"0.00", "0.00", normal}, {"41.00", "2.00", critical}, {"20.00", "10.01", critical}}) {
        auto text = std::string("some avg10=") + some + " avg60=1 avg300=0 total=9\nfull avg10=" + full +
                    " avg60=0 avg300=0 total=1\n";
        EXPECT_EQ(LinuxMemory::pressure(parsePressure(text)), level) << text;
    }
    EXPECT_EQ(LinuxMemory::pressure(std::nullopt), normal);
}

TEST(MachineStats, CountsPhysicalInterfacesAndWholeDisksOnly) {
    auto network = parseNetDev(R"(Inter-|   Receive                                    |  Transmit
 face |bytes packets errs drop fifo frame compressed multicast|bytes packets errs drop fifo colls carrier
    lo: 9000 10 0 0 0 0 0 0 9000 10 0 0 0 0 0 0
  eth0: 1000 10 0 0 0 0 0 0 2000 10 0 0 0 0 0 0
wlp2s0: 300 1 0 0 0 0 0 0 400 1 0 0 0 0 0 0
docker0: 5000 1 0 0 0 0 0 0 5000 1 0 0 0 0 0 0
vethab12: 5000 1 0 0 0 0 0 0 5000 1 0 0 0 0 0 0
enp3s0: x 1 0 0 0 0 0 0 400 1 0 0 0 0 0 0)");
    EXPECT_EQ(network, (ByteTotals{1300, 2400}));

    test::TempDir sys;
    sys.write("block/nvme0n1/device/model", "disk\n");
    sys.write("block/loop0/size", "0\n");
    test::TempDir proc;
    proc.write("diskstats",
               " 259 0 nvme0n1 100 0 2000 50 30 0 400 20 0 60 70\n"
               " 259 1 nvme0n1p1 90 0 1900 50 30 0 400 20 0 60 70\n"
               "   7 0 loop0 5 0 10 0 0 0 0 0 0 0 0\n");
    EXPECT_EQ(readDisks({proc.path().string(), sys.path().string()}), (ByteTotals{2000 * 512, 400 * 512}));

    EXPECT_EQ(parseCpuList("0-3,8,10-11\n"), (std::vector<int>{0, 1, 2, 3, 8, 10, 11}));
    EXPECT_FALSE(parseCpuList("3-1"));
    EXPECT_EQ(parseCpuList("2147483646-2147483647"), (std::vector<int>{2147483646, 2147483647}));
}

TEST(MachineStats, ReadersFollowTheirRoot) {
    test::TempDir proc;
    proc.write("stat", "cpu  10 0 5 85 0 0 0 0 0 0\ncpu0 10 0 5 85 0 0 0 0 0 0\n");
    proc.write("meminfo", "MemTotal: 1000 kB\nMemFree: 400 kB\nMemAvailable: 600 kB\nAnonPages: 300 kB\n");
    proc.write("vmstat", "pswpin 1\npswpout 3\n");
    proc.write("pressure/memory", "some avg10=11.00 avg60=0 avg300=0 total=1\n");
    proc.write("net/dev", "h\nh\n  eth0: 10 1 0 0 0 0 0 0 20 1 0 0 0 0 0 0\n");
    Roots roots{proc.path().string(), (proc.path() / "none").string()};
    EXPECT_EQ(readCpu(roots)->cores.size(), 1u);
    auto memory = LinuxMemory::current(roots);
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->breakdown.app, 300u * 1024);
    EXPECT_EQ(memory->limitedBy, std::nullopt);
    EXPECT_EQ(LinuxMemory::currentUsage(roots), (MemoryUsage{400u * 1024, 1000u * 1024}));
    EXPECT_EQ(memory->swapOuts, 3 * static_cast<std::uint64_t>(ProcRoot::pageSize()));
    EXPECT_EQ(LinuxMemory::pressure(readPressure(roots)), MemoryPressure::warning);
    EXPECT_EQ(readNetwork(roots), (ByteTotals{10, 20}));
    EXPECT_TRUE(readEfficiencyCores(roots).empty());
    test::TempDir empty;
    EXPECT_FALSE(LinuxMemory::current({empty.path().string(), empty.path().string()}));
}

using namespace CgroupMemory;

constexpr std::uint64_t MiB = 1024 * 1024;
constexpr std::uint64_t memTotal = 16384 * MiB;

// The plain forms and the walk up the ancestors are read through the trees below.
TEST(CgroupMemory, ParsesMembershipLimitsAndLineage) {
    EXPECT_EQ(parseMembership("5:cpu,cpuacct:/x\n4:memory:/docker/ab:c\n1:name=systemd:/y\n0::/\n"),
              (Membership{"/", "/docker/ab:c"}))
        << "a path keeps its colons";
    EXPECT_EQ(parseMembership("garbage\n"), Membership{});
    EXPECT_EQ(parseLimit(""), std::nullopt);
    EXPECT_TRUE(lineage("/a/../../etc").empty());
    EXPECT_TRUE(lineage("relative").empty());
}

// A fake /proc and /sys for the cgroup readers; `v2` writes a file of a unified cgroup.
struct Tree {
    test::TempDir dir;
    MachineStats::Roots roots{dir / "proc", dir / "sys"};

    void write(const std::string& relative, const std::string& text) const { dir.write(relative, text); }
    void v2(const std::string& cgroup, const std::string& file, const std::string& text) const {
        write("sys/fs/cgroup" + (cgroup == "/" ? "" : cgroup) + "/" + file, text);
    }
};

TEST(CgroupMemory, TheSmallestFiniteLimitAmongTheAncestorsBinds) {
    using Limit = std::optional<std::pair<std::string, std::uint64_t>>;  // the binding cgroup and limit
    using MemoryMax = std::vector<std::pair<std::string, std::string>>;  // cgroup -> memory.max
    const std::string unit = "/system.slice/build.service";
    const std::tuple<const char*, MemoryMax, Limit> cases[] = {
        {"own limit", {{unit, "2147483648"}, {"/system.slice", "max"}}, Limit({unit, 2048 * MiB})},
        {"a parent's, tighter",
         {{unit, "4294967296"}, {"/system.slice", "1073741824"}},
         Limit({"/system.slice", 1024 * MiB})},
        {"no limit anywhere", {{unit, "max"}, {"/system.slice", "max"}}, std::nullopt},
        {"a limit past physical memory binds nothing", {{unit, std::to_string(memTotal)}}, std::nullopt},
        {"garbled", {{unit, "lots"}}, std::nullopt},
    };
    for (const auto& [label, limits, expected] : cases) {
        SCOPED_TRACE(label);
        Tree tree;
        tree.write("proc/self/cgroup", "0::" + unit + "\n");
        for (const auto& [cgroup, limit] : limits) {
            tree.v2(cgroup, "memory.max", limit + "\n");
            tree.v2(cgroup, "memory.current", std::to_string(512 * MiB) + "\n");
        }
        auto found = read(tree.roots, memTotal);
        EXPECT_EQ(found ? Limit({found->cgroup, found->limit}) : std::nullopt, expected);
        EXPECT_EQ(found ? found->current : 512 * MiB, 512 * MiB);
    }
}

TEST(CgroupMemory, ReadsV1AndItsUnlimitedValue) {
    Tree tree;
    const std::string group = "sys/fs/cgroup/memory/docker/abc/";
    tree.write("proc/self/cgroup", "4:memory:/docker/abc\n0::/\n");
    tree.write(group + "memory.limit_in_bytes", "9223372036854771712\n");
    tree.write(group + "memory.usage_in_bytes", "419430400\n");
    tree.write(group + "memory.stat",
               "cache 104857600\nrss 209715200\ntotal_cache 157286400\ntotal_rss 262144000\n"
               "total_inactive_file 52428800\n");
    EXPECT_EQ(read(tree.roots, memTotal), std::nullopt);
    tree.write(group + "memory.limit_in_bytes", "536870912\n");
    auto found = read(tree.roots, memTotal);
    ASSERT_TRUE(found && found->v1);
    // The whole subtree's counters.
    EXPECT_EQ(breakdown(*found, MemoryBreakdown{}),
              (MemoryBreakdown{512 * MiB, 250 * MiB, 0, 0, 150 * MiB, 112 * MiB, 0, 0}));
    EXPECT_EQ(usage(*found), (MemoryUsage{350 * MiB, 512 * MiB}));
}

// The memory the machine reports is the limit's inside a limited cgroup, through every reader; without
// a limit they read the machine's, as MachineStats.ReadersFollowTheirRoot checks.
TEST(CgroupMemory, LimitReplacesPhysicalMemoryInTheReadings) {
    Tree tree;
    tree.write("proc/meminfo",
               "MemTotal:       16777216 kB\nMemFree:         8388608 kB\nMemAvailable:   12582912 kB\n"
               "AnonPages:       2097152 kB\nSwapTotal:       1048576 kB\nSwapFree:        1048576 kB\n");
    tree.write("proc/self/cgroup", "0::/system.slice/build.service\n");
    const std::uint64_t limit = 2048 * MiB, current = 2000 * MiB;
    tree.v2("/system.slice/build.service", "memory.max", std::to_string(limit) + "\n");
    tree.v2("/system.slice/build.service", "memory.current", std::to_string(current) + "\n");
    tree.v2("/system.slice/build.service", "memory.stat",
            "anon " + std::to_string(1950 * MiB) + "\nfile " + std::to_string(20 * MiB) +
                "\nslab_reclaimable " + std::to_string(4 * MiB) + "\ninactive_file " +
                std::to_string(10 * MiB) + "\nzswap 0\n");

    auto reading = LinuxMemory::current(tree.roots);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->limitedBy, "/system.slice/build.service");
    // What is charged beyond the stat's figures is the kernel's; swap stays the machine's.
    EXPECT_EQ(reading->breakdown,
              (MemoryBreakdown{limit, 1950 * MiB, 26 * MiB, 0, 24 * MiB, 48 * MiB, 0, 1024 * MiB}));
    EXPECT_EQ(LinuxMemory::currentUsage(tree.roots), (MemoryUsage{1990 * MiB, limit}));
}

}  // namespace
}  // namespace tarvik
