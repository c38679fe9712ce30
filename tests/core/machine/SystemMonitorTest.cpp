#include "core/machine/SystemMonitor.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

using namespace std::chrono_literals;

TEST(RateMeter, GivesPerSecondRatesAndRecoversAfterAReset) {
    RateMeter meter;
    const Date t = Date{} + 1000h;
    EXPECT_FALSE(meter.update(1000, t));
    EXPECT_EQ(meter.update(1000, t + 1s), 0.0);
    EXPECT_EQ(meter.update(3000, t + 3s), 1000.0);
    EXPECT_FALSE(meter.update(10, t + 4s)) << "a counter that went back gives no rate";
    EXPECT_EQ(meter.update(510, t + 5s), 500.0);
    EXPECT_FALSE(meter.update(600, t + 5s)) << "no time passed";
}

TEST(CPUSampler, ComputesSharesAndNeverDividesByZero) {
    CPUSampler cpu;
    EXPECT_FALSE(cpu.sampleLoad(CpuTicks{100, 50, 850}));
    EXPECT_FALSE(cpu.sampleLoad(CpuTicks{100, 50, 850})) << "no tick passed";
    EXPECT_FALSE(cpu.sampleLoad(std::nullopt)) << "a failed reading keeps the previous one";
    auto load = cpu.sampleLoad(CpuTicks{160, 70, 870});
    ASSERT_TRUE(load);
    EXPECT_DOUBLE_EQ(load->user, 0.6);
    EXPECT_DOUBLE_EQ(load->system, 0.2);
    EXPECT_DOUBLE_EQ(load->busy, 0.8);
}

TEST(CoreSampler, SkipsASampleWhenTheCoreCountChanges) {
    CoreSampler cores({1});
    EXPECT_TRUE(cores.sample(std::vector<CpuTicks>{{10, 0, 90}, {0, 0, 100}}).empty());
    auto loads = cores.sample(std::vector<CpuTicks>{{30, 20, 150}, {0, 0, 100}});
    EXPECT_EQ(loads, (std::vector<CoreLoad>{{0, 0.4, false}, {1, 0.0, true}}))
        << "an unchanged total reads 0";
    EXPECT_TRUE(cores.sample(std::vector<CpuTicks>{{1, 1, 1}}).empty());
    EXPECT_TRUE(cores.sample(std::nullopt).empty());
    EXPECT_EQ(CoreLoad::label({0.5, 0.25, 1.0}, 2),
              (std::vector<CoreLoad>{{0, 0.5, true}, {1, 0.25, true}, {2, 1.0, false}}));
}

TEST(MemoryRecords, ClampAtZeroAndJudgeLowDisks) {
    auto memory = MemoryBreakdown::fromPages(1 << 20, 4096, 100, 150, 0, 0, 10, 20, 30, 40, 50, 7, 8);
    EXPECT_EQ(memory.free, 0u) << "speculative above free must not wrap";
    EXPECT_EQ(memory.app, 0u) << "purgeable above internal must not wrap";
    EXPECT_EQ(memory.cached, 90u * 4096);
    EXPECT_EQ(memory.used(), 30u * 4096);
    EXPECT_EQ(MemoryUsage::activityMonitorUsed(1000 * 4096, 4096, 100, 150, 20, 30), 950u * 4096);
    EXPECT_EQ(MemoryUsage::activityMonitorUsed(10, 4096, 100, 0, 0, 0), 0u);
    EXPECT_TRUE((DiskSpace{9, 100}.isLow()));
    EXPECT_FALSE((DiskSpace{10, 100}.isLow()));
    EXPECT_FALSE((DiskSpace{0, 0}.isLow()));
    for (auto [level, pressure] : {std::pair{1, MemoryPressure::normal},
                                   {2, MemoryPressure::warning},
                                   {4, MemoryPressure::critical},
                                   {3, MemoryPressure::normal}})
        EXPECT_EQ(MemoryPressures::fromLevel(level), pressure);
}

// A scripted machine: counters the test moves, a clock it sets, and counts of slow readings.
struct ScriptedMachine {
    Date now = Date{} + 1000h;
    std::uint64_t received = 0;
    int diskSpaceReads = 0, temperatureReads = 0;
    std::unordered_map<std::int32_t, std::uint64_t> gpuTimes;

    SystemMonitor::Sources sources() {
        SystemMonitor::Sources s;
        s.clock = [this] { return now; };
        s.cpu = [] { return std::optional<CpuTicks>(); };
        s.cores = [] { return std::optional<std::vector<CpuTicks>>(); };
        s.memory = [] { return std::optional<MemoryBreakdown::Reading>(); };
        s.gpu = [] { return std::optional<double>(); };
        s.network = [this] { return SystemSensors::Totals{received, 0}; };
        s.disks = [] { return SystemSensors::Totals{}; };
        s.diskSpace = [this] { return ++diskSpaceReads, std::optional<DiskSpace>(DiskSpace{1, 2}); };
        s.batteryAndPower = [] { return BatteryAndPower{}; };
        s.chipTemperature = [this] {
            return ++temperatureReads, std::optional<double>(50.0 + temperatureReads);
        };
        s.thermal = [] { return ThermalLevel::fair; };
        s.gpuTimes = [this] { return gpuTimes; };
        return s;
    }
};

TEST(SystemMonitor, CachesSlowReadingsAndSharesGpuTimeAmongApps) {
    ScriptedMachine machine;
    SystemMonitor monitor(machine.sources());
    ProcessSnapshot snapshot;
    AppOwner app{"Builder", std::nullopt, false};
    snapshot.records = {{10, 1, "/usr/bin/a", app, 1.0, 100, std::nullopt},
                        {11, 1, "/usr/bin/b", app, 2.0, 200, std::nullopt},
                        {12, 1, "/usr/bin/c", app, 0.0, 300, std::nullopt}};
    machine.gpuTimes = {{10, 0}, {11, 0}};

    auto first = monitor.sample(snapshot);
    EXPECT_FALSE(first.networkIn);
    EXPECT_EQ(first.chipCelsius, 51.0);
    EXPECT_EQ(first.thermal, ThermalLevel::fair);

    machine.now += 10s;
    machine.received = 5000;
    machine.gpuTimes = {{10, 1'234'000'000}, {11, 12'000'000}};  // 12.34 % and 0.12 % of 10 s
    auto second = monitor.sample(snapshot);
    EXPECT_EQ(second.networkIn, 500.0);
    EXPECT_EQ(second.chipCelsius, 51.0) << "the temperature is read at most every 10 s";
    ASSERT_EQ(second.apps.size(), 1u);
    EXPECT_DOUBLE_EQ(second.apps[0].gpuPercent, 12.5);

    machine.now += 21s;
    auto third = monitor.sample(snapshot);
    EXPECT_EQ(third.chipCelsius, 52.0);
    EXPECT_EQ(machine.diskSpaceReads, 2) << "disk space is read again after 30 s";
    EXPECT_EQ(third.disk, (DiskSpace{1, 2}));
}

}  // namespace
}  // namespace tarvik
