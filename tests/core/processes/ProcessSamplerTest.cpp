#include "core/processes/ProcessSampler.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "core/processes/RateTracker.hpp"
#include "core/support/Text.hpp"
#include "support/FakeProc.hpp"
#include "support/ProcStat.hpp"
#include "support/TestProcess.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

const ProcessRecord* find(const ProcessSnapshot& snapshot, std::int32_t pid) {
    auto it = std::find_if(snapshot.records.begin(), snapshot.records.end(),
                           [&](const ProcessRecord& r) { return r.pid == pid; });
    return it == snapshot.records.end() ? nullptr : &*it;
}

test::FakeProcess program(std::int32_t pid, const std::string& name, std::uint64_t ticks = 0,
                          std::uint64_t start = 1000) {
    test::FakeProcess process{.pid = pid, .comm = name, .exe = "/usr/bin/" + name, .cmdline = name + "\0"s};
    process.userTicks = ticks, process.startTicks = start;
    return process;
}

class ProcessSamplerTree : public ::testing::Test {
protected:
    test::FakeProc proc;
    test::TempDir applications;
    const std::uint64_t hz = test::clockTicksPerSecond();
    const std::uint64_t page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    const Date t0 = Date{} + std::chrono::hours(24 * 365 * 50);

    ProcessSampler sampler() {
        return ProcessSampler(ProcessSampler::Sources::at(proc.root(), {applications.path()}));
    }
};

// A rate needs the same process seen by the sample before: not one that took its pid, not one
// that was gone in between.
TEST_F(ProcessSamplerTree, GivesZeroOnFirstSightAndARateOnlyForAProcessSeenJustBefore) {
    auto node = program(40, "node", 10);
    node.residentPages = 300, node.sharedPages = 100, node.shmemPages = 40;
    proc.add(node);
    proc.add(program(41, "a", 5 * hz, 100));
    proc.add(program(90, "x", hz));
    auto sampler = this->sampler();
    auto first = sampler.sample(t0);
    ASSERT_EQ(first.records.size(), 3u);
    EXPECT_EQ(find(first, 40)->cpuPercent, 0);
    EXPECT_EQ(find(first, 40)->memoryBytes, 240 * page) << "private pages and mapped shared memory";
    EXPECT_EQ(first.at, t0);

    // One and a half seconds of CPU in two seconds of wall time.
    node.userTicks += hz, node.systemTicks = hz / 2;
    proc.add(node);
    proc.add(program(41, "b", 6 * hz, 900));
    proc.remove(90);
    auto second = sampler.sample(t0 + 2s);
    EXPECT_DOUBLE_EQ(find(second, 40)->cpuPercent, 75.0);
    EXPECT_EQ(find(second, 41)->cpuPercent, 0);
    EXPECT_EQ(find(second, 90), nullptr);
    proc.add(program(41, "b", 6 * hz + hz / 5, 900));
    proc.add(program(90, "x", 3 * hz));
    auto third = sampler.sample(t0 + 4s);
    EXPECT_DOUBLE_EQ(find(third, 41)->cpuPercent, 10.0);
    EXPECT_EQ(find(third, 90)->cpuPercent, 0);
}

// A caller that shows a few processes reads their trees alone: each process and every descendant,
// whichever of a process's threads started it. The others' rates carry on meanwhile.
TEST_F(ProcessSamplerTree, ReadsTheTreesOfTheGivenProcessesAlone) {
    auto add = [&](test::FakeProcess process, std::int32_t ppid,
                   std::map<std::int32_t, std::string> children) {
        process.ppid = ppid;
        process.threads = static_cast<std::int64_t>(std::max<std::size_t>(children.size(), 1));
        process.children = std::move(children);
        proc.add(process);
        return process;
    };
    add(program(1, "init"), 0, {{1, "5 20"}});
    add(program(5, "bash"), 1, {{5, "10"}});
    auto node = program(10, "node", 10);
    node.residentPages = 300;
    node = add(node, 5, {{10, "11 "}, {14, "12"}});
    add(program(11, "esbuild"), 10, {{11, "13"}});
    add(program(12, "sh"), 10, {{12, ""}});
    add(program(13, "sleep"), 11, {{13, ""}});
    add(program(20, "sshd"), 1, {{20, "21"}});
    add(program(21, "sshd"), 20, {{21, ""}});
    proc.add(program(30, "old"));  // no children files: a kernel without them

    auto sampler = this->sampler();
    auto pidsOf = [](const std::optional<ProcessSnapshot>& snapshot) {
        std::vector<std::int32_t> pids;
        for (const auto& record : snapshot.value_or(ProcessSnapshot{}).records) pids.push_back(record.pid);
        return pids;
    };
    auto first = sampler.sampleTrees({10}, t0);
    EXPECT_EQ(pidsOf(first), (std::vector<std::int32_t>{10, 11, 12, 13}));
    ASSERT_TRUE(first);
    EXPECT_EQ(find(*first, 10)->path, "/usr/bin/node");
    EXPECT_EQ(find(*first, 10)->memoryBytes, 300 * page);
    EXPECT_EQ(find(*first, 13)->ppid, 11);
    EXPECT_EQ(pidsOf(sampler.sampleTrees({20, 10}, t0)), (std::vector<std::int32_t>{10, 11, 12, 13, 20, 21}));
    EXPECT_EQ(pidsOf(sampler.sampleTrees({99}, t0)), std::vector<std::int32_t>{}) << "gone: nothing to read";
    EXPECT_FALSE(sampler.sampleTrees({30}, t0)) << "its children cannot be listed";

    // Half a second of CPU over the two seconds since the whole sample, past a sample of other trees.
    sampler.sample(t0);
    EXPECT_TRUE(sampler.sampleTrees({20}, t0 + 1s));
    node.userTicks += hz / 2;
    proc.add(node);
    EXPECT_DOUBLE_EQ(find(sampler.sample(t0 + 2s), 10)->cpuPercent, 25.0);
}

// Kernel threads and other users' processes are kept; the desktop application of a process's
// unit owns it.
TEST_F(ProcessSamplerTree, KeepsKernelThreadsAndOtherUsersProcessesAndNamesTheirApplication) {
    proc.add({.pid = 2, .ppid = 0, .comm = "kthreadd", .kernelThread = true});
    proc.add({.pid = 50, .ppid = 2, .comm = "kworker/0:1", .kernelThread = true});
    proc.add({.pid = 60, .comm = "sshd", .cmdline = "/usr/sbin/sshd\0-D\0"s, .residentPages = 10});
    applications.write("org.gnome.Terminal.desktop", "[Desktop Entry]\nName=Terminal\n");
    auto inTerminal = program(80, "node"), inService = program(81, "node");
    inTerminal.cgroup =
        "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-org.gnome.Terminal.slice/"
        "vte-spawn-1.scope\n";
    inService.cgroup = "0::/system.slice/dev.service\n";
    inService.cmdline = "node\0--inspect\0/srv/dev/server.js\0"s;
    proc.add(inTerminal);
    proc.add(inService);
    auto snapshot = sampler().sample(t0);
    ASSERT_EQ(snapshot.records.size(), 5u);

    const auto* worker = find(snapshot, 50);
    EXPECT_EQ(worker->name(), "[kworker/0:1]");
    EXPECT_EQ(worker->owner, AppOwner::kernel());
    EXPECT_EQ(find(snapshot, 2)->owner, AppOwner::kernel()) << "every kernel thread has the one kernel owner";
    EXPECT_EQ(worker->memoryBytes, 0u);
    EXPECT_TRUE(find(snapshot, 60)->owner.isSystem);
    EXPECT_EQ(find(snapshot, 80)->owner,
              (AppOwner{"Terminal", applications / "org.gnome.Terminal.desktop", false}));
    EXPECT_EQ(find(snapshot, 81)->owner.name, "node");
    // What an interpreter runs is read with it; any other program's arguments are not.
    EXPECT_EQ(find(snapshot, 81)->script, "server.js");
    EXPECT_EQ(find(snapshot, 60)->script, "");
}

// A command the user started is theirs even from /usr/bin; the system's services are the system's.
TEST_F(ProcessSamplerTree, TheSystemOwnsItsServicesAndTheUserTheirCommands) {
    auto at = [](std::int32_t pid, std::int32_t ppid, std::string path, std::optional<std::string> cgroup,
                 std::optional<std::uint32_t> uid) {
        test::FakeProcess process = program(pid, std::string(Text::lastPathComponent(path)));
        process.ppid = ppid, process.exe = path, process.cgroup = cgroup, process.uid = uid;
        return process;
    };
    const std::string session = "0::/user.slice/user-1000.slice/session-2.scope\n";
    const std::string service = "0::/system.slice/cron.service\n";
    const std::string none = "0::/\n";  // a container: the cgroup tells nothing
    const std::tuple<const char*, test::FakeProcess, bool> cases[] = {
        {"a build in the user's session", at(110, 1, "/usr/bin/sha256sum", session, 1000), false},
        {"root's command in a session scope", at(111, 1, "/usr/bin/perl", session, 0), false},
        {"a service", at(112, 1, "/usr/sbin/cron", service, 0), true},
        {"no cgroup, root, under an interactive shell", at(121, 120, "/usr/bin/cc1plus", none, 0), false},
        {"no cgroup, root, under a daemon's sh", at(123, 122, "/usr/bin/perl", none, 0), true},
        {"no cgroup, a regular user", at(124, 1, "/usr/bin/python3", none, 1000), false},
        {"no uid read: the path decides", at(125, 1, "/usr/bin/python3", none, std::nullopt), true}};
    proc.add(at(120, 1, "/usr/bin/bash", none, 0));
    proc.add(at(122, 1, "/usr/bin/sh", none, 0));
    for (const auto& [what, process, isSystem] : cases) proc.add(process);
    auto snapshot = sampler().sample(t0);
    for (const auto& [what, process, isSystem] : cases) {
        const auto* record = find(snapshot, process.pid);
        EXPECT_TRUE(record && record->owner.isSystem == isSystem) << what;
    }
}

// Idle single-threaded processes are not read again; a busy one must still show its CPU and its
// memory. Its rate is held against the kernel's count of its CPU time, read just before and just
// after each sample, so it holds however little of the machine the process gets.
TEST(ProcessSamplerLive, ABusyProcessShowsItsCpuAndMemoryAndAnIdleOneNoCpu) {
    test::TestProcess busy({"/bin/sh", "-c", "echo ready; while :; do :; done"});
    test::TestProcess idle({"/bin/sh", "-c", "echo ready; exec sleep 30"});
    ASSERT_EQ(busy.firstLine(), "ready");
    ASSERT_EQ(idle.firstLine(), "ready");
    auto ticks = [&] { return test::procStat(busy.pid()).value().cpuTicks; };
    ProcessSampler sampler;
    (void)sampler.sample();
    std::this_thread::sleep_for(300ms);
    const auto beforeSecond = ticks();
    auto second = sampler.sample();
    const auto afterSecond = ticks();
    // A tenth of a second of CPU between the two samples, however long the machine takes to give it.
    const auto tenth = test::clockTicksPerSecond() / 10;
    ASSERT_TRUE(test::waitForCpuTicks(busy.pid(), afterSecond + tenth, 60s));
    const auto beforeThird = ticks();
    auto third = sampler.sample();
    const auto afterThird = ticks();

    const double seconds = std::chrono::duration<double>(third.at - second.at).count();
    const double percentPerTick = 100.0 / static_cast<double>(test::clockTicksPerSecond()) / seconds;
    const double least = static_cast<double>(beforeThird - afterSecond) * percentPerTick;
    const double most = static_cast<double>(afterThird - beforeSecond) * percentPerTick;
    const auto *busyRecord = find(third, busy.pid()), *idleRecord = find(third, idle.pid());
    ASSERT_TRUE(busyRecord && idleRecord);
    const double rounding = 0.05 + 1e-9;  // the rate has one decimal
    EXPECT_GE(busyRecord->cpuPercent, least - rounding);
    EXPECT_LE(busyRecord->cpuPercent, most + rounding);
    EXPECT_EQ(idleRecord->cpuPercent, 0.0);
    EXPECT_EQ(idleRecord->name(), "sleep");
    // The loop touches no new memory, so the kernel's count after the sample is the one it read.
    auto kilobytes = [&](const char* key) { return test::statusKilobytes(busy.pid(), key).value(); };
    EXPECT_EQ(busyRecord->memoryBytes, (kilobytes("RssAnon") + kilobytes("RssShmem")) * 1024);
}

TEST(RateTracker, givesRatesOnlyAgainstAUsablePreviousReadingAndForgetsUnretainedPids) {
    struct Step {
        std::int32_t pid;
        double cpu;
        int at;
        std::optional<double> cpuPercent;  // none: no rates at all
    } steps[] = {
        {1, 10.0, 0, {}},                       // first sighting
        {1, 10.5, 2, 25.0}, {1, 10.5, 2, {}},   // no time passed
        {1, 11.0, 4, 25.0}, {1, 2.0, 5, {}},    // pid reused
        {1, 3.0, 85, 1.3},                      // 1.25 % rounds up
        {2, 0.0, 85, {}},   {2, 0.0, 90, 0.0},  // idle is a rate of zero, not none
    };
    RateTracker tracker;
    auto update = [&](std::int32_t pid, double cpu, int at) {
        return tracker.update(pid, cpu, Date{} + std::chrono::seconds(at));
    };
    for (const Step& s : steps) {
        auto rates = update(s.pid, s.cpu, s.at);
        EXPECT_EQ(rates ? std::optional(rates->cpuPercent) : std::nullopt, s.cpuPercent)
            << "pid " << s.pid << " at " << s.at;
    }
    tracker.retain({2, 3});
    EXPECT_FALSE(update(1, 4.0, 95).has_value());
    EXPECT_TRUE(update(2, 1.0, 95).has_value());
}

}  // namespace
}  // namespace tarvik
