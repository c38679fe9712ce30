#include "core/processes/AppUsage.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

ProcessRecord record(std::int32_t pid, AppOwner owner, double cpu, std::uint64_t memory,
                     std::optional<double> mw) {
    return {pid, 1, "/bin/p" + std::to_string(pid), std::move(owner), cpu, memory, mw};
}

TEST(AppUsage, GroupsByOwnerNameHeaviestFirstAndCopiesReplaceOnlyTheirFigures) {
    const AppOwner ed{"Editor", "/ed", false}, edAlias{"Editor", "/alias", true}, init{"init", {}, true},
        db{"db"};
    // pid 3's owner shares the name with another bundle: the lowest pid's owner stays.
    const std::vector<ProcessRecord> p{record(1, ed, 10.04, 100, 120.5),  record(2, init, 0, 500, {}),
                                       record(3, edAlias, 0.02, 300, {}), record(4, ed, 0.03, 50, {}),
                                       record(5, db, 0, 900, 0.0),        record(6, ed, 0.02, 400, {})};
    // 10.11 gives 10.1 only when summed before rounding; a zero reading is still a reading.
    const std::vector<AppUsage> expected{
        {"Editor", "/ed", 10.1, 850, 4, 0, false, {1, 3, 4, 6}, 120.5, {p[0], p[3], p[5], p[2]}},
        {"db", {}, 0, 900, 1, 0, false, {5}, 0.0, {p[4]}},
        {"init", {}, 0, 500, 1, 0, true, {2}, {}, {p[1]}},
    };
    EXPECT_EQ(AppUsage::group({p, Date{}}), expected);
    EXPECT_TRUE(AppUsage::group({}).empty());

    AppUsage app = expected[0], copy = app;
    app.gpuPercent = 4.5;
    copy.cpuPercent = 3.333;  // not re-rounded
    copy.gpuPercent = 4.5;
    EXPECT_EQ(app.with(3.333, std::nullopt), copy);
    copy.gpuPercent = 0.04;
    EXPECT_EQ(app.with(3.333, 0.04), copy);
    copy.cpuPercent = 10.1;
    copy.gpuPercent = 0.8;  // 0.75 rounds away from zero; pid 2 is not a member
    EXPECT_EQ(app.adding({{1, 0.25}, {6, 0.5}, {2, 50}}), copy);
}

}  // namespace
}  // namespace tarvik
