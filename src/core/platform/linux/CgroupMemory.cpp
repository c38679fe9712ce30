#include "core/platform/linux/CgroupMemory.hpp"

#include <algorithm>

#include "core/platform/linux/ProcFs.hpp"
#include "core/support/Text.hpp"

namespace tarvik::CgroupMemory {

namespace {

std::uint64_t value(const std::unordered_map<std::string, std::uint64_t>& stat, const std::string& key) {
    auto it = stat.find(key);
    return it == stat.end() ? 0 : it->second;
}

// v1 names the counters of the whole subtree total_*; a v1 cgroup without hierarchy has only the
// plain ones.
std::uint64_t v1Value(const std::unordered_map<std::string, std::uint64_t>& stat, const std::string& key) {
    auto total = stat.find("total_" + key);
    return total != stat.end() ? total->second : value(stat, key);
}

struct Charges {
    std::uint64_t anon = 0;
    std::uint64_t cache = 0;  // page cache and reclaimable slab
    std::uint64_t inactiveFile = 0;
    std::uint64_t compressed = 0;
};

Charges charges(const Limit& limit) {
    const auto& stat = limit.stat;
    if (limit.v1) return {v1Value(stat, "rss"), v1Value(stat, "cache"), v1Value(stat, "inactive_file"), 0};
    return {value(stat, "anon"), value(stat, "file") + value(stat, "slab_reclaimable"),
            value(stat, "inactive_file"), value(stat, "zswap")};
}

std::string join(const std::string& mount, const std::string& cgroup) {
    return cgroup == "/" ? mount : mount + cgroup;
}

}  // namespace

Membership parseMembership(std::string_view text) {
    Membership membership;
    for (auto line : Text::lines(text)) {
        // hierarchy-ID:controller-list:path; the path may itself hold colons.
        auto first = line.find(':');
        if (first == std::string_view::npos) continue;
        auto second = line.find(':', first + 1);
        if (second == std::string_view::npos) continue;
        auto id = line.substr(0, first);
        auto controllers = line.substr(first + 1, second - first - 1);
        std::string path = Text::repairUtf8(line.substr(second + 1));
        if (id == "0" && controllers.empty()) {
            membership.unified = path;
        } else {
            auto names = Text::split(controllers, ',');
            if (std::find(names.begin(), names.end(), "memory") != names.end()) membership.memory = path;
        }
    }
    return membership;
}

std::optional<std::uint64_t> parseLimit(std::string_view text) {
    return Text::parseUInt64(Text::trim(text, Text::whitespace));
}

std::unordered_map<std::string, std::uint64_t> parseStat(std::string_view text) {
    std::unordered_map<std::string, std::uint64_t> values;
    for (auto line : Text::lines(text)) {
        auto fields = Text::split(line, ' ');
        if (fields.size() != 2) continue;
        if (auto number = Text::parseUInt64(fields[1])) values[std::string(fields[0])] = *number;
    }
    return values;
}

std::vector<std::string> lineage(std::string_view path) {
    if (!path.starts_with('/')) return {};
    for (auto part : Text::split(path, '/'))
        if (part == "..") return {};
    std::string current(Text::trimEnd(path, "/"));
    std::vector<std::string> paths;
    while (!current.empty()) {
        paths.push_back(current);
        current.resize(current.rfind('/'));
    }
    paths.emplace_back("/");
    return paths;
}

std::optional<Limit> read(const MachineStats::Roots& roots, std::uint64_t memTotal) {
    auto text = Files::read(roots.proc + "/self/cgroup");
    if (!text) return std::nullopt;
    auto membership = parseMembership(*text);
    struct Candidate {
        std::string cgroup;
        std::string folder;
        std::uint64_t limit;
        bool v1;
    };
    std::optional<Candidate> tightest;
    auto consider = [&](const std::optional<std::string>& path, const std::string& mount,
                        const char* limitFile, bool v1) {
        if (!path) return;
        for (const auto& cgroup : lineage(*path)) {
            auto folder = join(mount, cgroup);
            auto contents = Files::read(folder + "/" + limitFile);
            auto limit = contents ? parseLimit(*contents) : std::nullopt;
            if (!limit || *limit >= memTotal) continue;
            if (!tightest || *limit < tightest->limit) tightest = Candidate{cgroup, folder, *limit, v1};
        }
    };
    consider(membership.unified, roots.sys + "/fs/cgroup", "memory.max", false);
    consider(membership.memory, roots.sys + "/fs/cgroup/memory", "memory.limit_in_bytes", true);
    if (!tightest) return std::nullopt;

    auto current =
        Files::read(tightest->folder + (tightest->v1 ? "/memory.usage_in_bytes" : "/memory.current"));
    auto used = current ? parseLimit(*current) : std::nullopt;
    if (!used) return std::nullopt;
    auto stat = Files::read(tightest->folder + "/memory.stat");
    return Limit{tightest->cgroup, tightest->limit, *used, stat ? parseStat(*stat) : decltype(Limit::stat){},
                 tightest->v1};
}

MemoryBreakdown breakdown(const Limit& limit, const MemoryBreakdown& machine) {
    auto minusOrZero = [](std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; };
    const Charges charged = charges(limit);
    MemoryBreakdown memory = machine;
    memory.total = limit.limit;
    memory.app = charged.anon;
    memory.compressed = charged.compressed;
    memory.cached = charged.cache;
    memory.wired = minusOrZero(limit.current, charged.anon + charged.cache + charged.compressed);
    memory.free = minusOrZero(limit.limit, limit.current);
    memory.available = minusOrZero(limit.limit, usage(limit).usedBytes);
    return memory;
}

MemoryUsage usage(const Limit& limit) {
    std::uint64_t inactive = charges(limit).inactiveFile;
    return {limit.current > inactive ? limit.current - inactive : 0, limit.limit};
}

}  // namespace tarvik::CgroupMemory
