#include "core/machine/SystemMonitor.hpp"

#include <algorithm>

#include "core/support/Text.hpp"

namespace tarvik {

std::optional<CPULoad> CPUSampler::sampleLoad(const std::optional<CpuTicks>& reading) {
    if (!reading) return std::nullopt;  // the previous reading stays
    std::optional<CPULoad> load;
    std::uint64_t total = reading->user + reading->system + reading->idle;
    if (m_previous) {
        std::uint64_t before = m_previous->user + m_previous->system + m_previous->idle;
        if (total > before) {
            double dt = static_cast<double>(total - before);
            // Counters of a core that went offline can step back; a negative share reads as 0.
            auto share = [&](std::uint64_t now, std::uint64_t then) {
                return now > then ? std::min(static_cast<double>(now - then) / dt, 1.0) : 0.0;
            };
            double user = share(reading->user, m_previous->user);
            double system = share(reading->system, m_previous->system);
            load = CPULoad{std::min(user + system, 1.0), user, system};
        }
    }
    m_previous = reading;
    return load;
}

std::optional<double> CPUSampler::sample(const std::optional<CpuTicks>& reading) {
    auto load = sampleLoad(reading);
    if (!load) return std::nullopt;
    return load->busy;
}

std::vector<CoreLoad> CoreSampler::sample(const std::optional<std::vector<CpuTicks>>& reading) {
    if (!reading) return {};
    if (reading->size() != m_previous.size()) {
        m_previous = *reading;
        return {};
    }
    std::vector<double> loads;
    loads.reserve(reading->size());
    for (std::size_t i = 0; i < reading->size(); ++i) {
        const CpuTicks& now = (*reading)[i];
        const CpuTicks& then = m_previous[i];
        std::uint64_t busy = now.user + now.system, busyBefore = then.user + then.system;
        std::uint64_t total = busy + now.idle, totalBefore = busyBefore + then.idle;
        double load = 0;
        if (total > totalBefore && busy >= busyBefore)
            load = std::min(static_cast<double>(busy - busyBefore) / static_cast<double>(total - totalBefore),
                            1.0);
        loads.push_back(load);
    }
    m_previous = *reading;
    return CoreLoad::label(loads, m_efficiency);
}

SystemMonitor::Sources SystemMonitor::Sources::live() {
    Sources sources;
    sources.clock = [] { return std::chrono::system_clock::now(); };
    sources.cpu = [] { return SystemStats::cpuTicks(); };
    sources.cores = [] { return SystemStats::coreTicks(); };
    sources.memory = [] { return SystemStats::memoryReading(); };
    sources.gpu = [] { return SystemSensors::gpuUtilization(); };
    sources.network = [] { return SystemSensors::networkTotals(); };
    sources.disks = [] { return SystemSensors::diskTotals(); };
    sources.diskSpace = [] { return SystemSensors::diskSpace(); };
    sources.packageEnergy = [] { return SystemSensors::packageEnergy(); };
    sources.batteryAndPower = [](std::optional<double> packageMilliwatts) {
        return SystemSensors::batteryAndPower(packageMilliwatts);
    };
    sources.chipTemperature = [] { return ChipTemperature::current(); };
    sources.thermal = [] { return SystemSensors::thermal(); };
    sources.gpuTimes = [] { return GPUUsage::accumulatedTime(); };
    sources.gpuTimesOf = [](const std::vector<std::int32_t>& pids) {
        return GPUUsage::accumulatedTime(pids);
    };
    sources.gpuDevices = [] { return NvidiaGpus::read(); };
    sources.efficiencyCores = SystemStats::efficiencyCores();
    return sources;
}

SystemMonitor::SystemMonitor() : SystemMonitor(Sources::live()) {}

SystemMonitor::SystemMonitor(Sources sources)
    : m_sources(std::move(sources)), m_cores(m_sources.efficiencyCores) {}

SystemVitals SystemMonitor::sample() {
    ProcessSampler sampler;
    return sample(sampler.sample());
}

std::unordered_map<std::int32_t, std::uint64_t> SystemMonitor::gpuTimes() {
    if (m_gpuSamples++ % gpuSearchInterval != 0) return m_sources.gpuTimesOf(m_gpuClients);
    auto times = m_sources.gpuTimes();
    m_gpuClients.clear();
    for (const auto& [pid, time] : times) m_gpuClients.push_back(pid);
    std::sort(m_gpuClients.begin(), m_gpuClients.end());
    return times;
}

SystemVitals SystemMonitor::sample(const ProcessSnapshot& snapshot) {
    std::lock_guard lock(m_mutex);
    SystemVitals vitals;
    const Date now = m_sources.clock();
    vitals.cpu = m_cpu.sampleLoad(m_sources.cpu());
    vitals.cores = m_cores.sample(m_sources.cores());
    if (auto memory = m_sources.memory()) {
        vitals.memory = memory->breakdown;
        vitals.memoryLimitedBy = memory->limitedBy;
        vitals.swapOutPerSecond = m_swapOuts.update(memory->swapOuts, now);
    }
    vitals.gpu = m_sources.gpu();
    if (m_sources.gpuDevices) vitals.gpus = m_sources.gpuDevices();
    if (const GpuDevice* busiest = GpuDevices::busiest(vitals.gpus))
        vitals.gpu = std::max(vitals.gpu.value_or(0), *busiest->busyPercent);
    auto network = m_sources.network();
    vitals.networkIn = m_networkIn.update(network.first, now);
    vitals.networkOut = m_networkOut.update(network.second, now);
    auto disks = m_sources.disks();
    vitals.diskRead = m_diskRead.update(disks.first, now);
    vitals.diskWrite = m_diskWrite.update(disks.second, now);

    auto stale = [&](const auto& cache, double maxAge) {
        return !cache.at || secondsBetween(*cache.at, now) > maxAge;
    };
    if (stale(m_diskSpace, diskSpaceMaxAge)) m_diskSpace = {m_sources.diskSpace(), now};
    vitals.disk = m_diskSpace.value;
    std::optional<double> packageMilliwatts;
    if (auto energy = m_sources.packageEnergy())
        if (auto microwatts = m_packageEnergy.update(energy->microjoules, now, energy->wrapsAt))
            packageMilliwatts = *microwatts / 1000;
    auto power = m_sources.batteryAndPower(packageMilliwatts);
    vitals.battery = power.battery;
    vitals.power = power.power;
    if (stale(m_temperature, temperatureMaxAge)) m_temperature = {m_sources.chipTemperature(), now};
    vitals.chipCelsius = m_temperature.value;
    vitals.thermal = m_sources.thermal();

    auto gpuByPid = m_gpuMeter.update(gpuTimes(), now);
    // A process drawing on cards of both kinds is counted by each; the larger share stands.
    for (const auto& [pid, busy] : GpuDevices::busyByPid(vitals.gpus))
        gpuByPid[pid] = std::max(gpuByPid[pid], busy);
    for (auto& app : AppUsage::group(snapshot)) vitals.apps.push_back(app.adding(gpuByPid));
    return vitals;
}

}  // namespace tarvik
