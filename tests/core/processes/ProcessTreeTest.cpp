#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "core/platform/LibProc.hpp"
#include "core/processes/ProcessTree.hpp"
#include "support/ProcStat.hpp"

namespace tarvik {

// 10 -> {11, 13}, 11 -> 12, and 12 claims to be 10's parent; 13 is listed twice, the later row wins.
const std::vector<ProcessRow> loopRows{
    {10, 12, 100, 1.0}, {11, 10, 50, 2.0}, {13, 10, 5, 0.0}, {12, 11, 25, 0.5}, {13, 10, 7, 0.25},
};

TEST(ProcessTree, walksTreesInPopOrderThroughLoopsAndStopsAtNestedRoots) {
    EXPECT_EQ(ProcessTree::descendants(10, loopRows), (std::vector<std::int32_t>{13, 11, 12}));
    EXPECT_EQ(ProcessTree::descendants(12, loopRows), (std::vector<std::int32_t>{10, 13, 11}));
    const std::pair<std::unordered_set<std::int32_t>, std::unordered_map<std::int32_t, ProcessTree::Totals>>
        cases[] = {
            {{10}, {{10, {182, 3.75, 4}}}},
            {{10, 11}, {{10, {107, 1.25, 2}}, {11, {75, 2.5, 2}}}},
            {{12, 99}, {{12, {182, 3.75, 4}}}},
        };
    for (const auto& [roots, totals] : cases)
        EXPECT_EQ(ProcessTree::rollUp(loopRows, roots), totals) << testing::PrintToString(roots);
}

TEST(ProcessTree, theTableListsThisProcessWithItsParentAndStartTime) {
    auto rows = LibProc::processTable();
    auto self = std::find_if(rows.begin(), rows.end(), [](const ProcessRow& r) { return r.pid == getpid(); });
    ASSERT_NE(self, rows.end());
    EXPECT_EQ(self->ppid, getppid());
    EXPECT_EQ(self->started, test::procStat(getpid())->startTicks);
}

}  // namespace tarvik
