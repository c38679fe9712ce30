#include "core/processes/AppUsage.hpp"

#include <algorithm>

#include "core/support/Text.hpp"

namespace tarvik {

namespace {

double oneDecimal(double value) {
    return Text::roundHalfAwayFromZero(value * 10) / 10;
}

template <typename T>
void sortHeaviestFirst(std::vector<T>& items) {
    std::stable_sort(items.begin(), items.end(), [](const T& a, const T& b) {
        if (a.cpuPercent != b.cpuPercent) return a.cpuPercent > b.cpuPercent;
        return a.memoryBytes > b.memoryBytes;
    });
}

}  // namespace

std::vector<AppUsage> AppUsage::group(const ProcessSnapshot& snapshot) {
    std::vector<AppUsage> apps;
    std::unordered_map<std::string, std::size_t> indexOf;
    for (const ProcessRecord& record : snapshot.records) {
        const bool byScript =
            !record.script.empty() && !record.owner.bundlePath && record.owner.name == record.name();
        std::string name = byScript ? record.script + " (" + record.owner.name + ")" : record.owner.name;
        auto [it, inserted] = indexOf.try_emplace(name, apps.size());
        if (inserted) {
            AppUsage& app = apps.emplace_back();
            app.name = std::move(name);
            app.bundlePath = record.owner.bundlePath;
            app.isSystem = record.owner.isSystem;
            if (byScript) {
                app.script = record.script;
                app.interpreter = record.owner.name;
            }
        }
        AppUsage& app = apps[it->second];
        // Summed unrounded and rounded once, so small members still count.
        app.cpuPercent += record.cpuPercent;
        app.memoryBytes += record.memoryBytes;
        app.pids.push_back(record.pid);
        app.processes.push_back(record);
    }
    for (AppUsage& app : apps) {
        app.cpuPercent = oneDecimal(app.cpuPercent);
        app.processCount = static_cast<int>(app.processes.size());
        sortHeaviestFirst(app.processes);
    }
    sortHeaviestFirst(apps);
    return apps;
}

AppUsage AppUsage::with(double cpu, std::optional<double> gpu) const {
    AppUsage copy = *this;
    copy.cpuPercent = cpu;
    if (gpu) copy.gpuPercent = *gpu;
    return copy;
}

AppUsage AppUsage::adding(const std::unordered_map<std::int32_t, double>& gpuByPid) const {
    double total = 0;
    for (std::int32_t pid : pids) {
        if (auto found = gpuByPid.find(pid); found != gpuByPid.end()) total += found->second;
    }
    AppUsage copy = *this;
    copy.gpuPercent = oneDecimal(total);
    return copy;
}

}  // namespace tarvik
