#include "core/platform/linux/MachineStats.hpp"

#include <gtest/gtest.h>

#include "core/platform/linux/CgroupMemory.hpp"
#include "core/platform/linux/ProcFs.hpp"
#include "core/platform/linux/Sensors.hpp"
#include "core/platform/linux/SystemStatsLinux.hpp"
#include "core/support/Text.hpp"
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
                                        1000000 * k, 500000 * k, 2000000 * k, 9000000 * k}));
    EXPECT_EQ(meminfo.at("HugePages_Total"), 4u) << "counts are not kilobytes";
    EXPECT_EQ(memory->usage(), (MemoryUsage{7000000 * k, 16000000 * k})) << "MemTotal - MemAvailable";
    meminfo.erase("MemAvailable");
    EXPECT_EQ(LinuxMemory::breakdown(meminfo, 0)->used(), 10750000 * k) << "all but the free and cached";
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
        {"garbled", {{unit, "lots"}}, std::nullopt}};
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
              (MemoryBreakdown{512 * MiB, 250 * MiB, 0, 0, 150 * MiB, 112 * MiB, 0, 0, 162 * MiB}));
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
              (MemoryBreakdown{limit, 1950 * MiB, 26 * MiB, 0, 24 * MiB, 48 * MiB, 0, 1024 * MiB, 58 * MiB}));
    EXPECT_EQ(LinuxMemory::currentUsage(tree.roots), (MemoryUsage{1990 * MiB, limit}));
}

// Writes lines "FOLDER: NAME=VALUE | NAME=VALUE" below `base`; each value ends in a newline, as
// sysfs attributes do, which the readers must not take for part of the value.
void write(const test::TempDir& dir, const std::string& base, std::string_view tree) {
    for (std::string_view line : Text::lines(tree)) {
        std::size_t colon = line.find(": ");
        std::string folder = base + std::string(Text::trim(line.substr(0, colon))) + "/";
        for (std::string_view file : Text::split(line.substr(colon + 2), '|')) {
            file = Text::trim(file);
            std::size_t equals = file.find('=');
            dir.write(folder + std::string(file.substr(0, equals)),
                      std::string(file.substr(equals + 1)) + "\n");
        }
    }
}

TEST(SensorsLinux, batteryAndPowerFromThePowerSupplies) {
    const std::tuple<const char*, const char*, BatteryAndPower> cases[] = {
        {"laptop on battery, energy-reporting",
         R"(AC: type=Mains | online=0
BAT0: type=Battery | status=Discharging | capacity=87 | energy_now=43500000 | energy_full=50000000
BAT0: energy_full_design=57000000 | power_now=12600000 | voltage_now=12000000 | cycle_count=142)",
         {BatteryStatus{87, false, false, 207, 12.6, 88, 142}, PowerTelemetry{12.6, {}, {}}}},
        {"laptop charging over USB-C, charge-reporting, behind an empty bay and a mouse",
         R"(BAT0: type=Battery | present=0
hid-c0:ff:ee:00:00:01-battery: type=Battery | scope=Device | capacity=20
sbs-9-000b: type=Battery | status=Charging | charge_now=2000000 | charge_full=4000000
sbs-9-000b: charge_full_design=5000000 | current_now=1500000 | voltage_now=12600000
ucsi-source-psy-USBC000:001: type=USB | online=1 | power_now=45000000)",
         {BatteryStatus{50, true, true, 80, 18.9, 80, {}}, PowerTelemetry{{}, 45.0, 18.9}}},
        {"desktop", "", {}},
        {"a garbled charge past what any battery holds",
         "BAT0: type=Battery | status=Discharging | energy_now=9000000000000000000 | energy_full=50000000",
         {}},
        {"a garbled draw past what any battery gives",
         "BAT0: type=Battery | status=Discharging | capacity=50 | power_now=9000000000000000000 | "
         "voltage_now=1",
         {BatteryStatus{50, false, false, {}, {}, {}, {}}, {}}}};
    for (const auto& [what, supplies, expected] : cases) {
        test::TempDir dir;
        write(dir, "class/power_supply/", supplies);
        EXPECT_EQ(SystemSensors::batteryAndPower(dir.path(), std::nullopt), expected) << what;
    }
}

TEST(SensorsLinux, readsTheRaplPackageCounterAndUsesItsDrawAsTheSystemLoadOnTheMains) {
    test::TempDir dir;
    EXPECT_EQ(SystemSensors::packageEnergy(dir.path()), std::nullopt) << "no powercap zone";
    write(dir, "class/",
          "power_supply/AC: type=Mains | online=1\npowercap/intel-rapl:0: energy_uj=262000000000");
    EXPECT_EQ(SystemSensors::packageEnergy(dir.path()), (SystemSensors::EnergyCounter{262'000'000'000, {}}));
    write(dir, "class/", "powercap/intel-rapl:0: max_energy_range_uj=262143328850");
    EXPECT_EQ(SystemSensors::packageEnergy(dir.path()),
              (SystemSensors::EnergyCounter{262'000'000'000, 262'143'328'850}));
    EXPECT_EQ(SystemSensors::batteryAndPower(dir.path(), 15'000.0),
              (BatteryAndPower{{}, PowerTelemetry{15.0}}));
    EXPECT_EQ(SystemSensors::batteryAndPower(dir.path(), std::nullopt), BatteryAndPower{});
}

TEST(SensorsLinux, chipTemperatureIsTheHottestHwmonDieSensorElseThermalZone) {
    using Readings = std::vector<TemperatureReading>;
    const std::tuple<const char*, const char*, Readings, std::optional<double>> cases[] = {
        {"Intel",
         R"(hwmon/hwmon1: name=coretemp | temp1_label=Package id 0 | temp1_input=61000
hwmon/hwmon1: temp2_label=Core 0 | temp2_input=70000
thermal/thermal_zone0: type=x86_pkg_temp | temp=99000)",
         {{"coretemp Package id 0", 61}, {"coretemp Core 0", 70}, {"x86_pkg_temp", 99}},
         61},
        {"thermal zones only",
         R"(hwmon/hwmon0: name=acpitz | temp1_input=40000
thermal/thermal_zone0: type=acpitz | temp=40000
thermal/thermal_zone1: type=x86_pkg_temp | temp=66000)",
         {{"acpitz temp1", 40}, {"acpitz", 40}, {"x86_pkg_temp", 66}},
         66},
        {"no sensors", "", {}, std::nullopt}};
    for (const auto& [what, tree, readings, celsius] : cases) {
        SCOPED_TRACE(what);
        test::TempDir dir;
        write(dir, "class/", tree);
        EXPECT_EQ(ChipTemperature::readings(dir.path()), readings);
        EXPECT_EQ(ChipTemperature::current(dir.path()), celsius);
    }
}

TEST(SensorsLinux, thermalStateOfTheHottestZoneAgainstItsTripPoints) {
    // x86_pkg_temp lists passive trips at 0 until something sets them.
    const std::string trips =
        "trip_point_0_type=passive | trip_point_0_temp=0 | trip_point_1_type=passive | "
        "trip_point_1_temp=70000 | trip_point_2_type=critical | trip_point_2_temp=100000";
    using enum ThermalLevel;
    const std::pair<std::string, ThermalLevel> cases[] = {
        {"", nominal},
        {"thermal_zone0: temp=64999 | " + trips, nominal},
        {"thermal_zone0: temp=65000 | " + trips, fair},
        {"thermal_zone0: temp=70000 | " + trips, serious},
        {"thermal_zone0: temp=95000 | trip_point_0_type=hot | trip_point_0_temp=95000", critical},
        {"thermal_zone0: temp=30000 | " + trips + "\nthermal_zone1: temp=100000 | " + trips, critical}};
    for (const auto& [zones, level] : cases) {
        test::TempDir dir;
        write(dir, "class/thermal/", zones);
        EXPECT_EQ(SystemSensors::thermal(dir.path()), level) << zones;
    }
}

TEST(SensorsLinux, gpuUtilizationAndTimePerProcessFromDrm) {
    test::TempDir dir;
    write(dir, "sys/class/drm/",
          "card0/device: gpu_busy_percent=37\ncard0-DP-1: status=connected\n"
          "card1/device: vendor=0x8086\ncard2/device: gpu_busy_percent=12");
    EXPECT_EQ(SystemSensors::gpuUtilization(dir / "sys"), 37.0);

    auto fdinfo = [](int client, std::string engines) {
        return "pos:\t0\nflags:\t02100002\ndrm-driver:\tamdgpu\ndrm-pdev:\t0000:03:00.0\ndrm-client-id:\t" +
               std::to_string(client) + "\n" + engines +
               "drm-engine-capacity-gfx:\t2\ndrm-memory-vram:\t1024 KiB\n";
    };
    const std::string shared = fdinfo(7, "drm-engine-gfx:\t1000 ns\ndrm-engine-compute:\t200 ns\n");
    const std::tuple<const char*, const char*, const char*, std::string> descriptors[] = {
        {"100", "3", "/dev/dri/renderD128", shared},
        {"100", "4", "/dev/dri/renderD128", shared},  // a duplicate of the same client
        {"100", "5", "/dev/dri/card0", fdinfo(8, "drm-engine-gfx:\t30 ns\n")},
        {"100", "6", "/home/me/notes.txt", fdinfo(9, "drm-engine-gfx:\t999999 ns\n")},
        {"200", "3", "/dev/dri/renderD128", fdinfo(7, "drm-engine-gfx:\t5000 ns\n")},
        {"300", "0", "/dev/null", "pos:\t0\nflags:\t0100002\n"}};
    for (const auto& [pid, fd, target, info] : descriptors) {
        dir.link("proc/" + std::string(pid) + "/fd/" + fd, target);
        dir.write("proc/" + std::string(pid) + "/fdinfo/" + fd, info);
    }
    EXPECT_EQ(GPUUsage::accumulatedTime(dir / "proc"),
              (std::unordered_map<std::int32_t, std::uint64_t>{{100, 1230}, {200, 5000}}));
}

}  // namespace
}  // namespace tarvik
