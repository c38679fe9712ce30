#include <gtest/gtest.h>

#include "core/processes/AppOwner.hpp"
#include "core/processes/AppUsage.hpp"
#include "core/processes/ProcessRole.hpp"

namespace tarvik {
namespace {

using std::nullopt;

TEST(AppOwnerTest, ResolvesFamilyThenResponsibleThenOwnPath) {
    struct Case {
        const char* label;
        std::string path;
        std::optional<std::string> responsible;
        AppOwner expected;
    };
    const std::string xcode = "/Applications/Xcode.app", finder = "/System/Library/CoreServices/Finder.app";
    const std::string finderBinary = finder + "/Contents/MacOS/Finder";
    const std::string terminal = "/System/Applications/Utilities/Terminal.app";
    const Case cases[] = {
        {"outermost bundle", xcode + "/Contents/Applications/S.app/S", nullopt, {"Xcode", xcode, false}},
        {"system bundle", finderBinary, nullopt, {"Finder", finder, true}},
        {"responsible in own bundle", finderBinary, finderBinary, {"Finder", finder, false}},
        {"system path", "/usr/local/bin/node", nullopt, {"node", nullopt, true}},
        {"responsible app", "/usr/local/bin/node", terminal + "/Terminal", {"Terminal", terminal, false}},
        {"responsible bundle", "/opt/worker", "/Applications/T.app", {"T", "/Applications/T.app", false}},
        {"responsible program", "/opt/worker", "/opt/tools/agent", {"agent", nullopt, false}},
        {"responsible is itself", "/opt/worker", "/opt/worker", {"worker", nullopt, false}},
        {"responsible is system", "/opt/worker", "/sbin/launchd", {"worker", nullopt, false}},
        {"family first", "/Applications/X.app/mdworker_shared", nullopt, {"Spotlight", nullopt, true}},
        {"Linux family", "/usr/libexec/tracker-miner-fs-3", "/opt/a", {"Tracker", nullopt, true}},
        {"pid 0 placeholder", "kernel_task", nullopt, {"kernel_task", nullopt, true}},
        {"case-sensitive bundle", "/Applications/X.APP/Contents/MacOS/X", nullopt, {"X", nullopt, false}},
    };
    for (const Case& c : cases) EXPECT_EQ(AppOwner::resolve(c.path, c.responsible), c.expected) << c.label;
}

TEST(AppOwnerTest, LinuxResolutionPrefersFamilyThenDesktopAppThenOwnPath) {
    const DesktopApp terminal{"Terminal", "/usr/share/applications/org.gnome.Terminal.desktop"};
    const std::tuple<std::string, std::optional<DesktopApp>, AppOwner> cases[] = {
        {"/usr/bin/baloo_file", terminal, {"Baloo", nullopt, true}},
        {"/usr/bin/node", terminal, {"Terminal", terminal.entryPath, false}},
        {"/usr/bin/node", nullopt, {"node", nullopt, true}},
        {"/home/anna/bin/tool", nullopt, {"tool", nullopt, false}},
    };
    for (const auto& [path, app, expected] : cases)
        EXPECT_EQ(AppOwnerResolution::resolve(path, app), expected) << path;
    EXPECT_EQ(AppOwner::kernel(), (AppOwner{"Linux kernel", nullopt, true}));
}

TEST(ProcessRoleTest, FirstMatchingRowWins) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"Google Chrome Helper (Renderer)", "A tab or extension"},  // before the plain "Helper" suffix
        {"Slack Helper", "Background helper"},
        {"clang", "Compiling code"},
        {"Clang", std::nullopt},  // names compare case-sensitively
        {"nodes", std::nullopt},  // and whole
        {"tarvik", "Tarvik, measuring your computer"},
        {"python3.11", "A script or server"},
        {"[kworker/0:1-events]", "Part of the Linux kernel"}};
    for (const auto& [name, expected] : cases) EXPECT_EQ(ProcessRole::describe(name), expected) << name;
}

ProcessRecord record(std::int32_t pid, AppOwner owner, double cpu, std::uint64_t memory) {
    return {pid, 1, "/bin/p" + std::to_string(pid), std::move(owner), cpu, memory};
}

TEST(AppUsage, GroupsByOwnerNameHeaviestFirstAndCopiesReplaceOnlyTheirFigures) {
    const AppOwner ed{"Editor", "/ed", false}, edAlias{"Editor", "/alias", true}, init{"init", {}, true},
        db{"db"};
    // pid 3's owner shares the name with another bundle: the lowest pid's owner stays.
    const std::vector<ProcessRecord> p{record(1, ed, 10.04, 100),     record(2, init, 0, 500),
                                       record(3, edAlias, 0.02, 300), record(4, ed, 0.03, 50),
                                       record(5, db, 0, 900),         record(6, ed, 0.02, 400)};
    // 10.11 gives 10.1 only when summed before rounding.
    const std::vector<AppUsage> expected{
        {"Editor", "/ed", 10.1, 850, 4, 0, false, {1, 3, 4, 6}, {p[0], p[3], p[5], p[2]}},
        {"db", {}, 0, 900, 1, 0, false, {5}, {p[4]}},
        {"init", {}, 0, 500, 1, 0, true, {2}, {p[1]}},
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
