#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/machine/SystemVitals.hpp"
#include "core/platform/linux/MachineStats.hpp"

// The memory limit of the cgroup this process runs in (a container, a systemd unit with
// MemoryMax): inside one, the limit is the memory there is, whatever the machine holds.
namespace tarvik::CgroupMemory {

// The cgroup paths of /proc/self/cgroup: the unified hierarchy's ("0::PATH") and the v1 memory
// controller's ("N:...,memory,...:PATH"); each absent when the file has no such line.
struct Membership {
    std::optional<std::string> unified;
    std::optional<std::string> memory;
    bool operator==(const Membership&) const = default;
};
[[nodiscard]] Membership parseMembership(std::string_view text);

// A limit file (memory.max, memory.limit_in_bytes) in bytes; nullopt for "max" or garbled text.
// v1's "no limit" is a huge number, which the MemTotal rule below removes.
[[nodiscard]] std::optional<std::uint64_t> parseLimit(std::string_view text);

// The "key value" lines of memory.stat.
[[nodiscard]] std::unordered_map<std::string, std::uint64_t> parseStat(std::string_view text);

// "/a/b" -> "/a/b", "/a", "/"; empty for a path that is not absolute or steps up with "..".
[[nodiscard]] std::vector<std::string> lineage(std::string_view path);

// The cgroup whose limit binds: the smallest limit among a cgroup and its ancestors.
struct Limit {
    std::string cgroup;  // its path as /proc/self/cgroup names it, "/system.slice/foo.service"
    std::uint64_t limit = 0;
    std::uint64_t current = 0;                            // bytes charged to it, page cache included
    std::unordered_map<std::string, std::uint64_t> stat;  // its memory.stat
    bool v1 = false;
    bool operator==(const Limit&) const = default;
};

// Reads /proc/self/cgroup and the limits under sys/fs/cgroup (the unified hierarchy first, then
// the v1 memory controller's mount at sys/fs/cgroup/memory). Nullopt when no cgroup limits memory
// below `memTotal` (a limit at or above it binds nothing), or the limiting cgroup's usage does not
// read.
[[nodiscard]] std::optional<Limit> read(const MachineStats::Roots& roots, std::uint64_t memTotal);

// The machine's breakdown seen from inside the limit: total = the limit, apps = anonymous
// memory, cached = page cache and reclaimable slab, compressed = zswap, wired = the rest of what
// is charged (kernel stacks, page tables, sockets), free = what the limit has left, available =
// the limit less `usage`'s used. Swap stays the machine's.
[[nodiscard]] MemoryBreakdown breakdown(const Limit& limit, const MemoryBreakdown& machine);

// Used and total for the footer: the usage less the inactive file pages, which the kernel
// reclaims first when the cgroup nears its limit; the same figure `docker stats` shows, and the
// counterpart of MemTotal - MemAvailable on the whole machine.
[[nodiscard]] MemoryUsage usage(const Limit& limit);

}  // namespace tarvik::CgroupMemory
