#include "core/platform/linux/SystemStatsLinux.hpp"

#include <sys/statvfs.h>
#include <unistd.h>

#include "core/platform/SystemSensors.hpp"
#include "core/platform/linux/CgroupMemory.hpp"
#include "core/platform/linux/ProcFs.hpp"

namespace tarvik {

namespace LinuxMemory {

namespace {
std::uint64_t value(const std::unordered_map<std::string, std::uint64_t>& meminfo, const std::string& key) {
    auto it = meminfo.find(key);
    return it == meminfo.end() ? 0 : it->second;
}
}  // namespace

std::optional<MemoryBreakdown> breakdown(const std::unordered_map<std::string, std::uint64_t>& meminfo,
                                         std::uint64_t zramUsed) {
    if (!meminfo.contains("MemTotal")) return std::nullopt;
    MemoryBreakdown memory;
    memory.total = value(meminfo, "MemTotal");
    memory.app = value(meminfo, "AnonPages");
    memory.wired =
        value(meminfo, "SUnreclaim") + value(meminfo, "KernelStack") + value(meminfo, "PageTables");
    memory.compressed =
        meminfo.contains("Zswap") && value(meminfo, "Zswap") > 0 ? value(meminfo, "Zswap") : zramUsed;
    memory.cached = value(meminfo, "Cached") + value(meminfo, "Buffers") + value(meminfo, "SReclaimable");
    memory.free = value(meminfo, "MemFree");
    memory.swapTotal = value(meminfo, "SwapTotal");
    std::uint64_t swapFree = value(meminfo, "SwapFree");
    memory.swapUsed = memory.swapTotal > swapFree ? memory.swapTotal - swapFree : 0;
    // Kernels before 3.14 do not estimate it; free memory and the cache come closest.
    memory.available =
        meminfo.contains("MemAvailable") ? value(meminfo, "MemAvailable") : memory.free + memory.cached;
    return memory;
}

MemoryPressure pressure(const std::optional<MachineStats::Pressure>& psi) {
    if (!psi) return MemoryPressure::normal;
    if (psi->full > 10 || psi->some > 40) return MemoryPressure::critical;
    if (psi->some > 10) return MemoryPressure::warning;
    return MemoryPressure::normal;
}

std::optional<MemoryBreakdown::Reading> current(const MachineStats::Roots& roots) {
    auto meminfo = MachineStats::readMeminfo(roots);
    if (!meminfo) return std::nullopt;
    auto memory = breakdown(*meminfo, MachineStats::readZramUsed(roots));
    if (!memory) return std::nullopt;
    auto pages = MachineStats::readSwapOutPages(roots).value_or(0);
    MemoryBreakdown::Reading reading{*memory, pages * static_cast<std::uint64_t>(ProcRoot::pageSize()),
                                     std::nullopt};
    if (auto limit = CgroupMemory::read(roots, memory->total)) {
        reading.breakdown = CgroupMemory::breakdown(*limit, *memory);
        reading.limitedBy = limit->cgroup;
    }
    return reading;
}

MemoryUsage currentUsage(const MachineStats::Roots& roots) {
    auto reading = current(roots);
    return reading ? reading->breakdown.usage() : MemoryUsage{};
}

}  // namespace LinuxMemory

namespace MemoryPressures {
MemoryPressure current() {
    return LinuxMemory::pressure(MachineStats::readPressure());
}
}  // namespace MemoryPressures

namespace SystemStats {

std::optional<CpuTicks> cpuTicks() {
    auto stat = MachineStats::readCpu();
    if (!stat) return std::nullopt;
    return stat->total;
}

std::optional<std::vector<CpuTicks>> coreTicks() {
    auto stat = MachineStats::readCpu();
    if (!stat) return std::nullopt;
    return stat->cores;
}

std::vector<int> efficiencyCores() {
    return MachineStats::readEfficiencyCores();
}

std::optional<MemoryBreakdown::Reading> memoryReading() {
    return LinuxMemory::current({});
}

MemoryUsage memory() {
    return LinuxMemory::currentUsage({});
}
}  // namespace SystemStats

namespace SystemSensors {

Totals networkTotals() {
    auto totals = MachineStats::readNetwork();
    return {totals.in, totals.out};
}

Totals diskTotals() {
    auto totals = MachineStats::readDisks();
    return {totals.in, totals.out};
}

std::optional<DiskSpace> diskSpace() {
    struct statvfs volume {};
    if (statvfs("/", &volume) != 0) return std::nullopt;
    // f_bavail: what an unprivileged user may still write, the figure that matters to them.
    return DiskSpace{static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize,
                     static_cast<std::uint64_t>(volume.f_blocks) * volume.f_frsize};
}

}  // namespace SystemSensors

}  // namespace tarvik
