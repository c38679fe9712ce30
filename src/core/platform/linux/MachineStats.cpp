#include "core/platform/linux/MachineStats.hpp"

#include <sys/stat.h>

#include <algorithm>

#include "core/platform/linux/ProcFs.hpp"
#include "core/support/ByteUnits.hpp"
#include "core/support/Text.hpp"

namespace tarvik::MachineStats {

namespace {

std::optional<CpuTicks> parseCpuLine(std::string_view rest) {
    // user nice system idle iowait irq softirq steal [guest guest_nice]; guest time is already
    // inside user, so it is not added again.
    std::uint64_t values[8] = {};
    int count = 0;
    for (auto field : Text::split(rest, ' ')) {
        if (count == 8) break;
        auto value = Text::parseUInt64(field);
        if (!value) return std::nullopt;
        values[count++] = *value;
    }
    if (count < 4) return std::nullopt;  // user, nice, system, idle at the least
    return CpuTicks{values[0] + values[1], values[2] + values[5] + values[6] + values[7],
                    values[3] + values[4]};
}

}  // namespace

std::optional<CpuStat> parseCpuStat(std::string_view procStat) {
    std::optional<CpuTicks> total;
    std::vector<std::pair<int, CpuTicks>> cores;
    for (auto line : Text::lines(procStat)) {
        if (!line.starts_with("cpu")) continue;
        auto space = line.find(' ');
        if (space == std::string_view::npos) continue;
        auto name = line.substr(0, space);
        auto ticks = parseCpuLine(line.substr(space + 1));
        if (!ticks) continue;  // garbled line
        if (name == "cpu") {
            total = ticks;
        } else if (auto index = Text::parseInt32(name.substr(3)); index && *index >= 0) {
            cores.emplace_back(*index, *ticks);
        }
    }
    if (!total) return std::nullopt;
    std::sort(cores.begin(), cores.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    CpuStat stat{*total, {}};
    for (const auto& [index, ticks] : cores) stat.cores.push_back(ticks);
    return stat;
}

std::unordered_map<std::string, std::uint64_t> parseMeminfo(std::string_view text) {
    std::unordered_map<std::string, std::uint64_t> values;
    for (auto line : Text::lines(text)) {
        auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        auto fields = Text::split(line.substr(colon + 1), ' ');
        if (fields.empty()) continue;
        // The kernel's "kB" is KiB; HugePages_* are counts without a unit.
        bool kibibytes = fields.size() > 1 && fields[1] == "kB";
        auto value = kibibytes ? ByteUnits::parseKibibytes(fields[0]) : Text::parseUInt64(fields[0]);
        if (value) values[std::string(line.substr(0, colon))] = *value;
    }
    return values;
}

std::optional<std::uint64_t> parseVmstat(std::string_view text, std::string_view key) {
    for (auto line : Text::lines(text)) {
        auto fields = Text::split(line, ' ');
        if (fields.size() == 2 && fields[0] == key) return Text::parseUInt64(fields[1]);
    }
    return std::nullopt;
}

std::optional<Pressure> parsePressure(std::string_view text) {
    std::optional<double> some, full;
    for (auto line : Text::lines(text)) {
        auto fields = Text::split(line, ' ');
        if (fields.size() < 2 || !fields[1].starts_with("avg10=")) continue;
        auto value = Text::parseDouble(fields[1].substr(6));
        if (fields[0] == "some") some = value;
        if (fields[0] == "full") full = value;
    }
    if (!some) return std::nullopt;
    return Pressure{*some, full.value_or(0)};
}

bool isPhysicalInterface(std::string_view name) {
    return name.starts_with("en") || name.starts_with("eth") || name.starts_with("wl") ||
           name.starts_with("ww");
}

ByteTotals parseNetDev(std::string_view text) {
    ByteTotals totals;
    for (auto line : Text::lines(text)) {
        auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;  // the two header lines
        auto name = Text::trim(line.substr(0, colon));
        if (!isPhysicalInterface(name)) continue;
        auto fields = Text::split(line.substr(colon + 1), ' ');
        if (fields.size() < 9) continue;
        auto received = Text::parseUInt64(fields[0]);
        auto sent = Text::parseUInt64(fields[8]);
        if (!received || !sent) continue;
        totals.in += *received;
        totals.out += *sent;
    }
    return totals;
}

ByteTotals parseDiskstats(std::string_view text, const std::vector<std::string>& devices) {
    ByteTotals totals;
    for (auto line : Text::lines(text)) {
        auto fields = Text::split(line, ' ');
        if (fields.size() < 10) continue;
        if (std::find(devices.begin(), devices.end(), fields[2]) == devices.end()) continue;
        auto read = Text::parseUInt64(fields[5]);     // sectors read
        auto written = Text::parseUInt64(fields[9]);  // sectors written
        if (!read || !written) continue;
        totals.in += *read * 512;  // the kernel counts 512-byte sectors whatever the device's block size
        totals.out += *written * 512;
    }
    return totals;
}

std::optional<std::vector<int>> parseCpuList(std::string_view text) {
    std::vector<int> cores;
    for (auto range : Text::split(Text::trim(text.substr(0, text.find('\n'))), ',')) {
        auto dash = range.find('-');
        auto first = Text::parseInt32(range.substr(0, dash));
        auto last = dash == std::string_view::npos ? first : Text::parseInt32(range.substr(dash + 1));
        if (!first || !last || *first < 0 || *last < *first || *last - *first > 4096) return std::nullopt;
        // Counted in 64 bits: a range that ends at INT_MAX would otherwise step past it.
        for (std::int64_t core = *first; core <= *last; ++core) cores.push_back(static_cast<int>(core));
    }
    return cores;
}

std::optional<CpuStat> readCpu(const Roots& roots) {
    auto text = Files::read(roots.proc + "/stat");
    if (!text) return std::nullopt;
    return parseCpuStat(*text);
}

std::optional<std::unordered_map<std::string, std::uint64_t>> readMeminfo(const Roots& roots) {
    auto text = Files::read(roots.proc + "/meminfo");
    if (!text) return std::nullopt;
    auto values = parseMeminfo(*text);
    if (!values.contains("MemTotal")) return std::nullopt;
    return values;
}

std::optional<std::uint64_t> readSwapOutPages(const Roots& roots) {
    auto text = Files::read(roots.proc + "/vmstat");
    if (!text) return std::nullopt;
    return parseVmstat(*text, "pswpout");
}

std::optional<Pressure> readPressure(const Roots& roots) {
    auto text = Files::read(roots.proc + "/pressure/memory");
    if (!text) return std::nullopt;
    return parsePressure(*text);
}

ByteTotals readNetwork(const Roots& roots) {
    auto text = Files::read(roots.proc + "/net/dev");
    return text ? parseNetDev(*text) : ByteTotals{};
}

ByteTotals readDisks(const Roots& roots) {
    std::vector<std::string> disks;
    for (const auto& name : Files::entries(roots.sys + "/block")) {
        struct stat info {};
        if (stat((roots.sys + "/block/" + name + "/device").c_str(), &info) == 0) disks.push_back(name);
    }
    auto text = Files::read(roots.proc + "/diskstats");
    return text ? parseDiskstats(*text, disks) : ByteTotals{};
}

std::vector<int> readEfficiencyCores(const Roots& roots) {
    auto text = Files::read(roots.sys + "/devices/cpu_atom/cpus");
    if (!text) return {};
    return parseCpuList(*text).value_or(std::vector<int>{});
}

std::uint64_t readZramUsed(const Roots& roots) {
    std::uint64_t used = 0;
    auto swaps = Files::read(roots.proc + "/swaps");
    if (!swaps) return 0;
    for (const auto& name : Files::entries(roots.sys + "/block")) {
        if (!name.starts_with("zram") || swaps->find("/dev/" + name) == std::string::npos) continue;
        // mm_stat: orig_data_size compr_data_size mem_used_total ...
        auto stat = Files::read(roots.sys + "/block/" + name + "/mm_stat");
        if (!stat) continue;
        auto fields = Text::split(Text::trim(stat->substr(0, stat->find('\n'))), ' ');
        if (fields.size() >= 3)
            if (auto bytes = Text::parseUInt64(fields[2])) used += *bytes;
    }
    return used;
}

}  // namespace tarvik::MachineStats
