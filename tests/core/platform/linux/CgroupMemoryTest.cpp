#include "core/platform/linux/CgroupMemory.hpp"

#include <gtest/gtest.h>

#include "core/platform/linux/SystemStatsLinux.hpp"
#include "support/TempDir.hpp"

namespace tarvik {
namespace {

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

// A fake /proc and /sys: the process sits in `cgroup` (unified), each `limits` entry a
// memory.max of that cgroup; the limiting one charges `current` bytes.
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
    for (auto [limit, limited] : {std::pair{"9223372036854771712", false}, {"536870912", true}}) {
        SCOPED_TRACE(limit);
        Tree tree;
        tree.write("proc/self/cgroup", "4:memory:/docker/abc\n0::/\n");
        tree.write("sys/fs/cgroup/memory/docker/abc/memory.limit_in_bytes", std::string(limit) + "\n");
        tree.write("sys/fs/cgroup/memory/docker/abc/memory.usage_in_bytes", "419430400\n");
        tree.write("sys/fs/cgroup/memory/docker/abc/memory.stat",
                   "cache 104857600\nrss 209715200\ntotal_cache 157286400\ntotal_rss 262144000\n"
                   "total_inactive_file 52428800\n");
        auto found = read(tree.roots, memTotal);
        ASSERT_EQ(found.has_value(), limited);
        if (!found) continue;
        EXPECT_TRUE(found->v1);
        auto memory = breakdown(*found, MemoryBreakdown{});
        EXPECT_EQ(memory.total, 512 * MiB);
        EXPECT_EQ(memory.app, 250 * MiB) << "the whole subtree's counters";
        EXPECT_EQ(memory.cached, 150 * MiB);
        EXPECT_EQ(memory.wired, 0u);
        EXPECT_EQ(memory.free, 112 * MiB);
        EXPECT_EQ(usage(*found), (MemoryUsage{350 * MiB, 512 * MiB}));
    }
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
    const auto& memory = reading->breakdown;
    EXPECT_EQ(memory.total, limit);
    EXPECT_EQ(memory.app, 1950 * MiB);
    EXPECT_EQ(memory.cached, 24 * MiB);
    EXPECT_EQ(memory.wired, 26 * MiB) << "the rest of what is charged is the kernel's";
    EXPECT_EQ(memory.free, 48 * MiB);
    EXPECT_EQ(memory.swapTotal, 1024 * MiB) << "swap stays the machine's";
    EXPECT_GE(static_cast<double>(memory.used()) / static_cast<double>(memory.total), 0.95);
    EXPECT_EQ(LinuxMemory::currentUsage(tree.roots), (MemoryUsage{1990 * MiB, limit}));
}

}  // namespace
}  // namespace tarvik
