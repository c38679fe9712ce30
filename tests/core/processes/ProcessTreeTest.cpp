#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "core/processes/ProcessTree.hpp"

namespace tarvik {

TEST(ProcessTree, parseSplitsOffTheTimeColumnOnlyWhenACommandFollowsIt) {
    auto rows = ProcessTree::parse(
        "    1     0  1024   0.0   1:02.50 /sbin/launchd\n"
        "2 1 10 1.5\n"
        "3 1 20 0.5 12:00.00\n"
        "4 1 30 2.0 later my app\n"
        "5 1 40\n"
        "6 1 1.5 0.0\n"
        "9  1  5  0.0  0:01.00  two  spaces  \t\n");
    const std::vector<ProcessRow> expected{
        {1, 0, 1024, 0.0, "/sbin/launchd", 62.5},  {2, 1, 10, 1.5, "", std::nullopt},
        {3, 1, 20, 0.5, "12:00.00", std::nullopt}, {4, 1, 30, 2.0, "later my app", std::nullopt},
        {9, 1, 5, 0.0, "two  spaces", 1.0},
    };
    EXPECT_EQ(rows, expected);
}

// 10 -> {11, 13}, 11 -> 12, and 12 claims to be 10's parent; 13 is listed twice, the later row wins.
const std::vector<ProcessRow> loopRows{
    {10, 12, 100, 1.0, "", {}}, {11, 10, 50, 2.0, "", {}}, {13, 10, 5, 0.0, "", {}},
    {12, 11, 25, 0.5, "", {}},  {13, 10, 7, 0.25, "", {}},
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
    for (const auto& [roots, totals] : cases) {
        SCOPED_TRACE(testing::PrintToString(roots));
        EXPECT_EQ(ProcessTree::rollUp(loopRows, roots), totals);
    }
}

TEST(ProcessTree, snapshotListsThisProcessWithItsParent) {
    for (bool commands : {false, true}) {
        auto rows = ProcessTree::snapshot(commands);
        auto self =
            std::find_if(rows.begin(), rows.end(), [](const ProcessRow& r) { return r.pid == getpid(); });
        ASSERT_NE(self, rows.end());
        EXPECT_EQ(self->ppid, getppid());
        EXPECT_EQ(self->cpuSeconds.has_value(), commands);
        EXPECT_EQ(self->command.empty(), !commands);
    }
}

}  // namespace tarvik
