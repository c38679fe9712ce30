#include "core/machine/SystemMonitor.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

using namespace std::chrono_literals;

TEST(CPUSampler, ComputesSharesAndNeverDividesByZero) {
    CPUSampler cpu;
    EXPECT_FALSE(cpu.sampleLoad(CpuTicks{100, 50, 850}));
    EXPECT_FALSE(cpu.sampleLoad(CpuTicks{100, 50, 850})) << "no tick passed";
    EXPECT_FALSE(cpu.sampleLoad(std::nullopt)) << "a failed reading keeps the previous one";
    EXPECT_EQ(cpu.sampleLoad(CpuTicks{160, 70, 870}), (CPULoad{0.8, 0.6, 0.2}));
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
    using enum MemoryPressure;
    for (auto [level, pressure] : {std::pair{1, normal}, {2, warning}, {4, critical}, {3, normal}})
        EXPECT_EQ(MemoryPressures::fromLevel(level), pressure);
}

// A scripted machine: counters the test moves, a clock it sets, and counts of slow readings.
struct ScriptedMachine {
    Date now = Date{} + 1000h;
    std::uint64_t received = 0;
    int diskSpaceReads = 0, temperatureReads = 0, gpuSearches = 0;
    std::unordered_map<std::int32_t, std::uint64_t> gpuTimes;
    std::optional<SystemSensors::EnergyCounter> packageEnergy;
    std::vector<std::optional<double>> packageMilliwatts;  // what each sample handed the battery reader

    SystemMonitor::Sources sources() {
        SystemMonitor::Sources s;
        s.clock = [this] { return now; };
        const auto none = [] { return std::nullopt; };
        s.cpu = none, s.cores = none, s.memory = none, s.gpu = none;
        s.network = [this] { return SystemSensors::Totals{received, 0}; };
        s.disks = [] { return SystemSensors::Totals{}; };
        s.diskSpace = [this] { return ++diskSpaceReads, std::optional<DiskSpace>(DiskSpace{1, 2}); };
        s.packageEnergy = [this] { return packageEnergy; };
        s.batteryAndPower = [this](auto milliwatts) {
            return packageMilliwatts.push_back(milliwatts), BatteryAndPower{};
        };
        s.chipTemperature = [this] {
            return ++temperatureReads, std::optional<double>(50.0 + temperatureReads);
        };
        s.thermal = [] { return ThermalLevel::fair; };
        s.gpuTimes = [this] { return ++gpuSearches, gpuTimes; };
        s.gpuTimesOf = [this](const std::vector<std::int32_t>& pids) {
            std::unordered_map<std::int32_t, std::uint64_t> times;
            for (auto pid : pids)
                if (gpuTimes.contains(pid)) times[pid] = gpuTimes[pid];
            return times;
        };
        return s;
    }
};

ProcessSnapshot appsAAndB() {
    ProcessSnapshot snapshot;
    snapshot.records = {{10, 1, "/usr/bin/a", {"A", std::nullopt, false}, 0, 100, std::nullopt},
                        {11, 1, "/usr/bin/b", {"B", std::nullopt, false}, 0, 100, std::nullopt}};
    return snapshot;
}

double gpuOf(const SystemVitals& vitals, std::string_view name) {
    for (const auto& app : vitals.apps)
        if (app.name == name) return app.gpuPercent;
    return -1.0;
}

TEST(SystemMonitor, RatesCountersAndCachesSlowReadings) {
    ScriptedMachine machine;
    SystemMonitor monitor(machine.sources());
    auto first = monitor.sample({});
    EXPECT_FALSE(first.networkIn);
    EXPECT_EQ(first.chipCelsius, 51.0);
    EXPECT_EQ(first.thermal, ThermalLevel::fair);

    machine.now += 10s;
    machine.received = 5000;
    auto second = monitor.sample({});
    EXPECT_EQ(second.networkIn, 500.0);
    EXPECT_EQ(second.chipCelsius, 51.0) << "the temperature is read at most every 10 s";

    machine.now += 21s;
    auto third = monitor.sample({});
    EXPECT_EQ(third.chipCelsius, 52.0);
    EXPECT_EQ(machine.diskSpaceReads, 2) << "disk space is read again after 30 s";
    EXPECT_EQ(third.disk, (DiskSpace{1, 2}));
}

TEST(SystemMonitor, SearchesForGpuClientsEveryTenthSampleAndFollowsTheKnownOnesBetween) {
    ScriptedMachine machine;
    SystemMonitor monitor(machine.sources());
    const auto snapshot = appsAAndB();
    machine.gpuTimes = {{10, 0}};
    (void)monitor.sample(snapshot);
    for (int sample = 2; sample <= 11; ++sample) {
        SCOPED_TRACE(sample);
        machine.now += 1s;
        machine.gpuTimes[10] += 100'000'000;                                      // 10 % of a second
        machine.gpuTimes[11] = 200'000'000 * static_cast<std::uint64_t>(sample);  // opens the GPU late
        auto vitals = monitor.sample(snapshot);
        EXPECT_DOUBLE_EQ(gpuOf(vitals, "A"), 10.0) << "a known client is followed between searches";
        EXPECT_EQ(machine.gpuSearches, sample == 11 ? 2 : 1);
        EXPECT_DOUBLE_EQ(gpuOf(vitals, "B"), 0.0) << "a new client has no rate before its second reading";
    }
    machine.now += 1s;
    machine.gpuTimes[11] += 200'000'000;
    EXPECT_DOUBLE_EQ(gpuOf(monitor.sample(snapshot), "B"), 20.0) << "found by the tenth sample's search";
}

// The busiest card leads the whole-GPU figure, and a process's share on the cards joins what its
// DRM clients give, the larger one standing. Which card the figure names is the GPU page's test.
TEST(SystemMonitor, TakesTheBusiestCardAndEachProcessesShareFromTheVendorLibrary) {
    ScriptedMachine machine;
    auto sources = machine.sources();
    std::optional<double> drmBusy = 30;
    sources.gpu = [&] { return drmBusy; };
    std::vector<GpuDevice> cards{
        {"NVIDIA RTX A2000", 20, {}, {}, {}, {}, {}, {}, {{10, 5.0, {}}}},
        {"NVIDIA GeForce RTX 4070", 85, {}, {}, {}, {}, {}, {}, {{10, 40.0, 1u << 30}, {11, {}, 1u << 20}}}};
    sources.gpuDevices = [&] { return cards; };
    SystemMonitor monitor(sources);
    const auto snapshot = appsAAndB();
    machine.gpuTimes = {{11, 0}};
    (void)monitor.sample(snapshot);
    machine.now += 1s;
    machine.gpuTimes[11] += 100'000'000;  // 10 % through DRM
    auto vitals = monitor.sample(snapshot);
    EXPECT_EQ(vitals.gpu, 85.0);
    EXPECT_EQ(vitals.gpus, cards);
    EXPECT_DOUBLE_EQ(gpuOf(vitals, "A"), 45.0) << "summed over the cards";
    EXPECT_DOUBLE_EQ(gpuOf(vitals, "B"), 10.0) << "a card that gives no share leaves DRM's";

    drmBusy = 95;
    machine.now += 1s;
    vitals = monitor.sample(snapshot);
    EXPECT_EQ(vitals.gpu, 95.0) << "a busier DRM device leads";
    cards.clear();
    machine.now += 1s;
    EXPECT_EQ(monitor.sample(snapshot).gpu, 95.0) << "without the library DRM alone, as before";
}

TEST(SystemMonitor, TurnsThePackageEnergyCounterIntoMilliwattsAcrossItsWrap) {
    ScriptedMachine machine;
    SystemMonitor monitor(machine.sources());
    const std::pair<std::optional<std::uint64_t>, int> steps[] = {
        {262'000'000'000, 0}, {262'030'000'000, 2}, {1'671'150, 3},  // wrapped past 262143328850
        {std::nullopt, 4},                                           // unreadable
        {2'671'150, 4},                                              // rated from the last readable sample
    };
    for (const auto& [energy, seconds] : steps) {
        machine.now = Date{} + std::chrono::seconds(seconds);
        machine.packageEnergy.reset();
        if (energy) machine.packageEnergy = SystemSensors::EnergyCounter{*energy, 262'143'328'850};
        (void)monitor.sample({});
    }
    EXPECT_EQ(machine.packageMilliwatts,
              (std::vector<std::optional<double>>{std::nullopt, 15'000.0, 115'000.0, std::nullopt, 1'000.0}));
}

}  // namespace
}  // namespace tarvik
