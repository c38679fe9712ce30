#include "core/processes/ProcessSampler.hpp"

#include <algorithm>
#include <unordered_set>

#include "core/processes/InterpreterScript.hpp"
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
    for (const auto& record : records)
        rows.push_back(
            {record.pid, record.ppid, static_cast<int>(record.memoryBytes / 1024), record.cpuPercent});
    return rows;
}

namespace {

// Per reading, whether it is one of the system's services: as the service manager placed it, else
// judged from its ancestors and user where the platform read the user; nullopt leaves it to the
// path.
std::vector<std::optional<bool>> servicePlacement(const std::vector<ProcessReading>& readings) {
    std::vector<std::optional<bool>> placement(readings.size());
    std::unordered_map<std::int32_t, std::size_t> byPid;
    byPid.reserve(readings.size());
    for (std::size_t i = 0; i < readings.size(); ++i) byPid.emplace(readings[i].pid, i);
    std::vector<std::string_view> ancestors;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const auto& reading = readings[i];
        if (reading.systemService || !reading.uid) {
            placement[i] = reading.systemService;
            continue;
        }
        ancestors.clear();
        std::int32_t parent = reading.ppid;
        // Bounded: a pid reused while the table was read could close a loop.
        for (int depth = 0; depth < 64 && parent > 1; ++depth) {
            auto found = byPid.find(parent);
            if (found == byPid.end()) break;
            ancestors.push_back(readings[found->second].path);
            parent = readings[found->second].ppid;
        }
        placement[i] = AppOwnerResolution::isSystemWithoutServiceManager(ancestors, reading.uid);
    }
    return placement;
}

}  // namespace

ProcessSampler::ProcessSampler(Sources sources) : m_sources(std::move(sources)) {}

ProcessSnapshot ProcessSampler::sample() {
    return sample(std::chrono::system_clock::now());
}

ProcessSnapshot ProcessSampler::sample(Date now) {
    std::lock_guard lock(m_mutex);
    return snapshotOf(m_sources.read(), now, true);
}

std::optional<ProcessSnapshot> ProcessSampler::sampleTrees(const std::vector<std::int32_t>& pids) {
    return sampleTrees(pids, std::chrono::system_clock::now());
}

std::optional<ProcessSnapshot> ProcessSampler::sampleTrees(const std::vector<std::int32_t>& pids, Date now) {
    std::lock_guard lock(m_mutex);
    if (!m_sources.trees) return std::nullopt;
    auto readings = m_sources.trees(pids);
    if (!readings) return std::nullopt;
    return snapshotOf(std::move(*readings), now, false);
}

ProcessSnapshot ProcessSampler::snapshotOf(std::vector<ProcessReading> readings, Date now, bool whole) {
    ProcessSnapshot snapshot;
    snapshot.at = now;
    snapshot.records.reserve(readings.size());
    auto systemService = servicePlacement(readings);
    std::unordered_set<std::int32_t> seen;
    seen.reserve(readings.size());
    for (std::size_t index = 0; index < readings.size(); ++index) {
        auto& reading = readings[index];
        seen.insert(reading.pid);
        if (reading.path.empty()) continue;
        // A new start stamp under a known pid is another process: its counters start afresh.
        auto [start, inserted] = m_startTimes.try_emplace(reading.pid, reading.startTime);
        if (!inserted && start->second != reading.startTime) {
            m_rates.last.erase(reading.pid);
            start->second = reading.startTime;
        }
        auto rates = m_rates.update(reading.pid, reading.cpuSeconds, now);
        ProcessRecord record;
        record.pid = reading.pid;
        record.ppid = reading.ppid;
        if (reading.kernelThread)
            record.owner = AppOwner::kernel();
        else if (reading.responsiblePath)
            record.owner = AppOwner::resolve(reading.path, reading.responsiblePath);
        else
            record.owner = AppOwnerResolution::resolve(reading.path, reading.app, systemService[index]);
        if (!reading.kernelThread)
            record.script = InterpreterScript::of(Text::lastPathComponent(reading.path), reading.arguments)
                                .value_or(std::string());
        record.path = std::move(reading.path);
        record.cpuPercent = rates ? rates->cpuPercent : 0;
        record.memoryBytes = reading.memoryBytes;
        record.startTicks = reading.startTime;
        snapshot.records.push_back(std::move(record));
    }
    if (whole) {
        m_rates.retain(seen);
        std::erase_if(m_startTimes, [&](const auto& entry) { return !seen.contains(entry.first); });
    }
    std::sort(snapshot.records.begin(), snapshot.records.end(),
              [](const ProcessRecord& a, const ProcessRecord& b) { return a.pid < b.pid; });
    return snapshot;
}

}  // namespace tarvik
