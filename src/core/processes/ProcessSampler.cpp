#include "core/processes/ProcessSampler.hpp"

#include <algorithm>
#include <unordered_set>

#include "core/support/Text.hpp"

namespace tarvik {

std::string_view ProcessRecord::name() const {
    // A kernel thread's "[kworker/0:1]" is its whole name, slash and all.
    if (path.starts_with('[') && path.ends_with(']')) return path;
    return Text::lastPathComponent(path);
}

std::unordered_map<std::int32_t, const ProcessRecord*> ProcessSnapshot::byPid() const {
    std::unordered_map<std::int32_t, const ProcessRecord*> map;
    map.reserve(records.size());
    for (const auto& record : records) map.emplace(record.pid, &record);
    return map;
}

std::vector<ProcessRow> ProcessSnapshot::rows() const {
    std::vector<ProcessRow> rows;
    rows.reserve(records.size());
    for (const auto& record : records) {
        rows.push_back({record.pid, record.ppid, static_cast<int>(record.memoryBytes / 1024),
                        record.cpuPercent, record.path, std::nullopt});
    }
    return rows;
}

ProcessSampler::ProcessSampler(Sources sources) : m_sources(std::move(sources)) {}

ProcessSnapshot ProcessSampler::sample() {
    return sample(std::chrono::system_clock::now());
}

ProcessSnapshot ProcessSampler::sample(Date now) {
    ProcessSnapshot snapshot;
    snapshot.at = now;
    std::lock_guard lock(m_mutex);
    auto readings = m_sources.read();
    snapshot.records.reserve(readings.size());
    std::unordered_set<std::int32_t> seen;
    seen.reserve(readings.size());
    for (auto& reading : readings) {
        seen.insert(reading.pid);
        if (reading.path.empty()) continue;
        // A new start stamp under a known pid is another process: its counters start afresh.
        auto [start, inserted] = m_startTimes.try_emplace(reading.pid, reading.startTime);
        if (!inserted && start->second != reading.startTime) {
            m_rates.last.erase(reading.pid);
            start->second = reading.startTime;
        }
        auto rates = m_rates.update(reading.pid, reading.cpuSeconds, reading.energyNJ, now);
        ProcessRecord record;
        record.pid = reading.pid;
        record.ppid = reading.ppid;
        record.owner = reading.kernelThread      ? AppOwner::kernel()
                       : reading.responsiblePath ? AppOwner::resolve(reading.path, reading.responsiblePath)
                                                 : AppOwnerResolution::resolve(reading.path, reading.app);
        record.path = std::move(reading.path);
        record.cpuPercent = rates ? rates->cpuPercent : 0;
        record.memoryBytes = reading.memoryBytes;
        record.milliwatts = rates ? rates->milliwatts : std::nullopt;
        snapshot.records.push_back(std::move(record));
    }
    m_rates.retain(seen);
    std::erase_if(m_startTimes, [&](const auto& entry) { return !seen.contains(entry.first); });
    std::sort(snapshot.records.begin(), snapshot.records.end(),
              [](const ProcessRecord& a, const ProcessRecord& b) { return a.pid < b.pid; });
    return snapshot;
}

}  // namespace tarvik
