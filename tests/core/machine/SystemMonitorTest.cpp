#include "core/machine/Sensors.hpp"
#include "core/machine/SystemMonitor.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

using namespace std::chrono_literals;

TEST(CPUSampler, ComputesSharesNeverDividesByZeroAndSkipsASampleWhenTheCoreCountChanges) {
    CPUSampler cpu;
    EXPECT_FALSE(cpu.sampleLoad(CpuTicks{100, 50, 850}));
    EXPECT_FALSE(cpu.sampleLoad(CpuTicks{100, 50, 850})) << "no tick passed";
    EXPECT_FALSE(cpu.sampleLoad(std::nullopt)) << "a failed reading keeps the previous one";
    EXPECT_EQ(cpu.sampleLoad(CpuTicks{160, 70, 870}), (CPULoad{0.8, 0.6, 0.2}));

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

TEST(MemoryRecords, JudgeLowDisksPressureAndThermalStates) {
    EXPECT_TRUE((DiskSpace{9, 100}.isLow()));
    EXPECT_FALSE((DiskSpace{10, 100}.isLow()));
    EXPECT_FALSE((DiskSpace{0, 0}.isLow()));
    using enum MemoryPressure;
    for (auto [level, pressure] : {std::pair{1, normal}, {2, warning}, {4, critical}, {3, normal}})
        EXPECT_EQ(MemoryPressures::fromLevel(level), pressure);
    std::vector<ThermalLevel> levels;  // states outside 0 to 3 are nominal
    for (int state : {-1, 0, 1, 2, 3, 4, 7}) levels.push_back(thermalLevel(state));
    using T = ThermalLevel;
    EXPECT_EQ(levels, (std::vector{T::nominal, T::nominal, T::fair, T::serious, T::critical, T::nominal,
                                   T::nominal}));
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
    snapshot.records = {{10, 1, "/usr/bin/a", {"A", std::nullopt, false}, 0, 100},
                        {11, 1, "/usr/bin/b", {"B", std::nullopt, false}, 0, 100}};
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

using I = std::int64_t;

std::shared_ptr<const Registry> table(Registry registry) {
    return std::make_shared<const Registry>(std::move(registry));
}

TEST(GPUMeter, ratesOnlyGrowthSinceAUsablePreviousReadingCappedAt100) {
    using Times = std::unordered_map<std::int32_t, std::uint64_t>;
    const std::tuple<Times, int, std::unordered_map<std::int32_t, double>> steps[] = {
        {{{1, 1'000'000'000}, {2, 5}}, 0, {}},                      // no previous reading
        {{{1, 1'500'000'000}, {2, 5}, {3, 9}}, 2000, {{1, 25.0}}},  // pid 2 idle, pid 3 new
        {{{1, 4'500'000'000}, {3, 9}}, 4000, {{1, 100.0}}},         // 3e9 ns over 2 s
        {{{1, 4'600'000'000}}, 4000, {}},                           // no time passed
        {{{1, 500}}, 5000, {}},                                     // counter reset
        {{{1, 500'000'500}}, 6000, {{1, 50.0}}},                    // rated from the reset value
    };
    GPUMeter meter;
    for (const auto& [times, milliseconds, percents] : steps)
        EXPECT_EQ(meter.update(times, Date{} + std::chrono::milliseconds(milliseconds)), percents)
            << milliseconds;
}

TEST(ChipTemperature, summarizeKeepsDieSensorsStrictlyBetween0And150) {
    const std::tuple<const char*, std::vector<TemperatureReading>, std::optional<double>> cases[] = {
        {"PMU", {{"PMU tdie1", 48.2}, {"PMU tdev3", 51.7}, {"PMU tcal", 80}, {"PMU tdie2", 160}}, 51.7},
        {"nothing in range", {{"PMU tdie1", 0}, {"PMU tdie2", 150}}, std::nullopt},
        {"k10temp Tdie over Tctl", {{"k10temp Tctl", 75}, {"k10temp Tdie", 55}, {"k10temp Tccd1", 60}}, 55},
        {"k10temp Tctl alone", {{"k10temp Tctl", 58.5}, {"k10temp Tccd1", 60}}, 58.5},
        {"CPU chips and zones", {{"cpu_thermal temp1", 52.1}, {"x86_pkg_temp", 53}, {"acpitz", 90}}, 53}};
    for (const auto& [what, readings, celsius] : cases)
        EXPECT_EQ(ChipTemperature::summarize(readings), celsius) << what;
}

TEST(BatteryStatus, fromRegistryFollowsTheBatteryServiceRules) {
    const Registry every{{"CurrentCapacity", I{87}},    {"IsCharging", false},
                         {"ExternalConnected", false},  {"AvgTimeToEmpty", I{207}},
                         {"AvgTimeToFull", I{45}},      {"Voltage", I{12600}},
                         {"InstantAmperage", I{-1500}}, {"NominalChargeCapacity", I{4321}},
                         {"DesignCapacity", I{5000}},   {"CycleCount", I{142}}};
    using B = BatteryStatus;
    const std::tuple<const char*, Registry, const char*, std::optional<B>> cases[] = {
        {"every key", {}, nullptr, B{87, false, false, 207, 18.9, 86, 142}},
        {"no CurrentCapacity", {}, "CurrentCapacity", std::nullopt},
        {"CurrentCapacity not an integer", {{"CurrentCapacity", 87.0}}, nullptr, std::nullopt},
        {"no estimate yet", {{"AvgTimeToEmpty", I{65535}}}, nullptr, B{87, false, false, {}, 18.9, 86, 142}},
        {"voltage not an integer", {{"Voltage", 12.6}}, nullptr, B{87, false, false, 207, {}, 86, 142}},
        {"no design capacity", {{"DesignCapacity", I{0}}}, nullptr, B{87, false, false, 207, 18.9, {}, 142}},
        {"a capacity past any health an int holds",
         {{"NominalChargeCapacity", I{1'000'000'000'000}}, {"DesignCapacity", I{1}}},
         nullptr,
         B{87, false, false, 207, 18.9, {}, 142}},
        {"cycles as text",
         {{"CycleCount", std::string("142")}},
         "AvgTimeToEmpty",
         B{87, false, false, {}, 18.9, 86, {}}}};
    for (const auto& [what, changes, removed, status] : cases) {
        Registry registry = every;
        for (const auto& [key, value] : changes) registry[key] = value;
        if (removed) registry.erase(removed);
        EXPECT_EQ(BatteryStatus::fromRegistry(registry), status) << what;
    }
}

TEST(PowerTelemetry, fromRegistryRoundsMilliwattsAndDropsIdleFigures) {
    const std::tuple<const char*, Registry, std::optional<PowerTelemetry>> cases[] = {
        {"no telemetry", {{"IsCharging", true}}, std::nullopt},
        {"telemetry not a dictionary", {{"PowerTelemetryData", I{5}}}, std::nullopt},
        {"charging",
         {{"IsCharging", true},
          {"PowerTelemetryData",
           table({{"SystemLoad", I{12345}}, {"SystemPowerIn", 45049.9}, {"BatteryPower", I{18950}}})}},
         PowerTelemetry{12.3, 45.0, 19.0}},
        {"not charging, adapter idle",
         {{"PowerTelemetryData", table({{"SystemPowerIn", I{0}}, {"BatteryPower", I{18950}}})}},
         PowerTelemetry{}},
        {"charging at under 0.05 W",
         {{"IsCharging", true}, {"PowerTelemetryData", table({{"BatteryPower", I{40}}})}},
         PowerTelemetry{}}};
    for (const auto& [what, registry, power] : cases)
        EXPECT_EQ(PowerTelemetry::fromRegistry(registry), power) << what;
}

}  // namespace
}  // namespace tarvik
