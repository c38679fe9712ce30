#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/machine/SystemVitals.hpp"
#include "core/platform/linux/MachineStats.hpp"

// How the Linux counters become the machine's records.
namespace tarvik::LinuxMemory {

// From /proc/meminfo (bytes): app = AnonPages; wired = SUnreclaim + KernelStack + PageTables;
// compressed = Zswap, or what zram swap holds; cached = Cached + Buffers + SReclaimable;
// free = MemFree; available = MemAvailable, so that used is MemTotal - MemAvailable; swap from
// SwapTotal and SwapFree.
[[nodiscard]] std::optional<MemoryBreakdown> breakdown(
    const std::unordered_map<std::string, std::uint64_t>& meminfo, std::uint64_t zramUsed);

// Stall information: warning when some task waited on memory over 10 % of the last ten seconds,
// critical when all did (or some did over 40 %).
[[nodiscard]] MemoryPressure pressure(const std::optional<MachineStats::Pressure>& psi);

// The readings over a root, for fixture trees. Inside a cgroup whose memory limit binds below
// physical memory, the memory is the limit's (see CgroupMemory) and `limitedBy` names the cgroup.
[[nodiscard]] std::optional<MemoryBreakdown::Reading> current(const MachineStats::Roots& roots);
// The used and total of `current`; zeros when nothing reads.
[[nodiscard]] MemoryUsage currentUsage(const MachineStats::Roots& roots);

}  // namespace tarvik::LinuxMemory
