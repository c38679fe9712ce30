#include "core/processes/ProcessTree.hpp"

#include <algorithm>
#include <limits>

#include "core/support/Text.hpp"

namespace tarvik::ProcessTree {

namespace {

using ChildMap = std::unordered_map<std::int32_t, std::vector<std::int32_t>>;

ChildMap childrenByParent(const std::vector<ProcessRow>& rows) {
    ChildMap children;
    for (const ProcessRow& row : rows) children[row.ppid].push_back(row.pid);
    return children;
}

void pushChildren(std::vector<std::int32_t>& stack, const ChildMap& children, std::int32_t pid) {
    if (auto found = children.find(pid); found != children.end())
        stack.insert(stack.end(), found->second.begin(), found->second.end());
}

}  // namespace

std::vector<std::int32_t> descendants(std::int32_t pid, const std::vector<ProcessRow>& rows) {
    ChildMap children = childrenByParent(rows);
    std::unordered_set<std::int32_t> visited{pid};
    std::vector<std::int32_t> stack;
    pushChildren(stack, children, pid);
    std::vector<std::int32_t> result;
    while (!stack.empty()) {
        std::int32_t current = stack.back();
        stack.pop_back();
        if (!visited.insert(current).second) continue;
        result.push_back(current);
        pushChildren(stack, children, current);
    }
    return result;
}

std::unordered_map<std::int32_t, Totals> rollUp(const std::vector<ProcessRow>& rows,
                                                const std::unordered_set<std::int32_t>& roots) {
    std::unordered_map<std::int32_t, const ProcessRow*> byPid;
    for (const ProcessRow& row : rows) byPid[row.pid] = &row;
    ChildMap children = childrenByParent(rows);

    std::unordered_map<std::int32_t, Totals> totals;
    for (std::int32_t root : roots) {
        auto rootRow = byPid.find(root);
        if (rootRow == byPid.end()) continue;
        // Summed wide and clamped: garbage rows must not overflow the int total.
        std::int64_t rssKB = rootRow->second->rssKB;
        double cpu = rootRow->second->cpuPercent;
        int count = 1;
        std::unordered_set<std::int32_t> visited{root};
        std::vector<std::int32_t> stack;
        pushChildren(stack, children, root);
        while (!stack.empty()) {
            std::int32_t current = stack.back();
            stack.pop_back();
            if (visited.contains(current) || roots.contains(current)) continue;
            auto row = byPid.find(current);
            if (row == byPid.end()) continue;
            visited.insert(current);
            rssKB += row->second->rssKB;
            cpu += row->second->cpuPercent;
            ++count;
            pushChildren(stack, children, current);
        }
        rssKB =
            std::clamp<std::int64_t>(rssKB, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        // Rounded once here, so that a sum of 34.18s reads 102.54 wherever it is shown.
        totals[root] = Totals{static_cast<int>(rssKB), Text::roundTo(cpu, 2), count};
    }
    return totals;
}

}  // namespace tarvik::ProcessTree
