#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/machine/CpuTicks.hpp"

// Pure parsers of the kernel's machine-wide counters (proc(5)), and their readers over a root.
namespace tarvik::MachineStats {

// The "cpu" and "cpuN" lines of /proc/stat, folded the way load is shown: nice counts as user;
// irq, softirq and steal as system (the CPU was busy, if not for a process of the user); iowait
// as idle.
struct CpuStat {
    CpuTicks total;
    std::vector<CpuTicks> cores;  // by core number
    bool operator==(const CpuStat&) const = default;
};
[[nodiscard]] std::optional<CpuStat> parseCpuStat(std::string_view procStat);

// The "Key: N kB" lines of /proc/meminfo, in bytes.
[[nodiscard]] std::unordered_map<std::string, std::uint64_t> parseMeminfo(std::string_view text);

// One counter of /proc/vmstat ("pswpout 12").
[[nodiscard]] std::optional<std::uint64_t> parseVmstat(std::string_view text, std::string_view key);

// avg10 of the "some" and "full" lines of /proc/pressure/memory.
struct Pressure {
    double some = 0;
    double full = 0;
    bool operator==(const Pressure&) const = default;
};
[[nodiscard]] std::optional<Pressure> parsePressure(std::string_view text);

// Received and sent bytes summed over the physical interfaces of /proc/net/dev (wired, wireless
// and mobile: en*, eth*, wl*, ww*); loopback, bridges, veth, docker and tunnels are not the
// machine's traffic with the world.
struct ByteTotals {
    std::uint64_t in = 0;
    std::uint64_t out = 0;
    bool operator==(const ByteTotals&) const = default;
};
[[nodiscard]] bool isPhysicalInterface(std::string_view name);
[[nodiscard]] ByteTotals parseNetDev(std::string_view text);

// Read and written bytes (sectors of 512 bytes) of /proc/diskstats for the devices named.
[[nodiscard]] ByteTotals parseDiskstats(std::string_view text, const std::vector<std::string>& devices);

// A cpu list such as "0-3,8,10-11" as core numbers; nullopt when it does not read.
[[nodiscard]] std::optional<std::vector<int>> parseCpuList(std::string_view text);

// Where the readers look: a real machine, or fixture trees.
struct Roots {
    std::string proc = "/proc";
    std::string sys = "/sys";
};

[[nodiscard]] std::optional<CpuStat> readCpu(const Roots& roots = {});
[[nodiscard]] std::optional<std::unordered_map<std::string, std::uint64_t>> readMeminfo(
    const Roots& roots = {});
[[nodiscard]] std::optional<std::uint64_t> readSwapOutPages(const Roots& roots = {});
[[nodiscard]] std::optional<Pressure> readPressure(const Roots& roots = {});
[[nodiscard]] ByteTotals readNetwork(const Roots& roots = {});
// Whole disks only: block devices with a device behind them (no partitions, loop, ram or dm).
[[nodiscard]] ByteTotals readDisks(const Roots& roots = {});
// The hybrid CPU's efficiency cores (/sys/devices/cpu_atom/cpus); empty elsewhere.
[[nodiscard]] std::vector<int> readEfficiencyCores(const Roots& roots = {});
// Bytes held by zram swap devices (their compressed pages), when any.
[[nodiscard]] std::uint64_t readZramUsed(const Roots& roots = {});

}  // namespace tarvik::MachineStats
