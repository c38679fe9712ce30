#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "core/platform/LibProc.hpp"
#include "core/processes/EnrichmentParser.hpp"
#include "core/processes/ProcessTree.hpp"
#include "support/ProcStat.hpp"

namespace tarvik {

// 10 -> {11, 13}, 11 -> 12, and 12 claims to be 10's parent; 13 is listed twice, the later row wins.
const std::vector<ProcessRow> loopRows{
    {10, 12, 100, 1.0}, {11, 10, 50, 2.0}, {13, 10, 5, 0.0}, {12, 11, 25, 0.5}, {13, 10, 7, 0.25}};

TEST(ProcessTree, walksTreesInPopOrderThroughLoopsAndStopsAtNestedRoots) {
    EXPECT_EQ(ProcessTree::descendants(10, loopRows), (std::vector<std::int32_t>{13, 11, 12}));
    EXPECT_EQ(ProcessTree::descendants(12, loopRows), (std::vector<std::int32_t>{10, 13, 11}));
    const std::pair<std::unordered_set<std::int32_t>, std::unordered_map<std::int32_t, ProcessTree::Totals>>
        cases[] = {{{10}, {{10, {182, 3.75, 4}}}},
                   {{10, 11}, {{10, {107, 1.25, 2}}, {11, {75, 2.5, 2}}}},
                   {{12, 99}, {{12, {182, 3.75, 4}}}}};
    for (const auto& [roots, totals] : cases)
        EXPECT_EQ(ProcessTree::rollUp(loopRows, roots), totals) << testing::PrintToString(roots);
}

// A tree's CPU is shown and printed as the sum a person would make, not 102.53999999999999.
TEST(ProcessTree, rollsUpCpuWithoutRoundingNoise) {
    const std::pair<std::vector<ProcessRow>, double> cases[] = {
        {{{1, 0, 10, 34.18}, {2, 1, 10, 34.18}, {3, 1, 10, 34.18}}, 102.54},
        {{{1, 0, 10, 0.1}, {2, 1, 10, 0.2}}, 0.3},
        {{{1, 0, 10, 33.3}, {2, 1, 10, 33.3}, {3, 2, 10, 33.3}, {4, 3, 10, 2.65}}, 102.55}};
    for (const auto& [rows, sum] : cases) {
        double cpu = ProcessTree::rollUp(rows, {1}).at(1).cpuPercent;
        EXPECT_EQ(cpu, sum);
        EXPECT_EQ(testing::PrintToString(cpu), testing::PrintToString(sum));
    }
}

TEST(ProcessTree, theTableListsThisProcessWithItsParentAndStartTime) {
    auto rows = LibProc::processTable();
    auto self = std::find_if(rows.begin(), rows.end(), [](const ProcessRow& r) { return r.pid == getpid(); });
    ASSERT_NE(self, rows.end());
    EXPECT_EQ(self->ppid, getppid());
    EXPECT_EQ(self->started, test::procStat(getpid())->startTicks);
}

TEST(EnrichmentParser, keepsReadableRowsAndFoldsUnreadColumnsIntoArgs) {
    auto rows = EnrichmentParser::parseProcessInfo(
        "  123  2048  1.5 05:00 /usr/bin/node server.js \t\n"
        "124 100 abc 05:00 /usr/bin/node server.js\n"
        "125 10 0.0 soon cmd\n"
        "126 7\n\n"
        "x 1 1.0 00:01 a\n"
        "127 big 1.0 00:01 a\n"
        "128 1 0.0 00:01 old\n"
        "+128 2 0.5 1-00:00:00 new\n");
    const std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo> expected{
        {123, {2048, 1.5, 300, "/usr/bin/node server.js"}},
        {124, {100, std::nullopt, std::nullopt, "abc 05:00 /usr/bin/node server.js"}},
        {125, {10, std::nullopt, std::nullopt, "0.0 soon cmd"}},
        {126, {7, std::nullopt, std::nullopt, ""}},
        {128, {2, 0.5, 86'400, "new"}}};
    EXPECT_EQ(rows, expected);
}

}  // namespace tarvik
