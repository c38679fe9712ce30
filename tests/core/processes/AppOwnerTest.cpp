#include <gtest/gtest.h>

#include <map>

#include "core/processes/AppOwner.hpp"
#include "core/processes/AppUsage.hpp"
#include "core/processes/InterpreterScript.hpp"
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
        {"case-sensitive bundle", "/Applications/X.APP/Contents/MacOS/X", nullopt, {"X", nullopt, false}}};
    for (const Case& c : cases) EXPECT_EQ(AppOwner::resolve(c.path, c.responsible), c.expected) << c.label;
}

TEST(AppOwnerTest, LinuxResolutionPrefersFamilyThenDesktopAppThenOwnPath) {
    const DesktopApp terminal{"Terminal", "/usr/share/applications/org.gnome.Terminal.desktop"};
    const std::tuple<std::string, std::optional<DesktopApp>, AppOwner> cases[] = {
        {"/usr/bin/baloo_file", terminal, {"Baloo", nullopt, true}},
        {"/usr/bin/node", terminal, {"Terminal", terminal.entryPath, false}},
        {"/usr/bin/node", nullopt, {"node", nullopt, true}},
        {"/home/anna/bin/tool", nullopt, {"tool", nullopt, false}}};
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

TEST(InterpreterScript, NamesTheScriptOrModuleAfterTheInterpretersOwnOptions) {
    const std::tuple<std::string, std::vector<std::string>, std::optional<std::string>> cases[] = {
        {"python3.11", {"python3", "-m", "http.server", "8000"}, "http.server"},
        {"python3.11", {"/usr/bin/python3", "-u", "-X", "dev", "/srv/app/serve.py", "-m", "x"}, "serve.py"},
        {"python3", {"python3", "-um", "http.server"}, "http.server"},
        {"python3", {"python3", "-mvenv"}, "venv"},
        {"python3", {"python3", "-W", "ignore", "-Wd", "tool.py"}, "tool.py"},
        {"python3", {"python3", "-c", "import time; time.sleep(9)", "fake.py"}, std::nullopt},
        {"python3", {"python3", "-"}, std::nullopt},
        {"python3", {"python3", "project/"}, "project"},
        {"python", {"python", "--", "-odd.py"}, "-odd.py"},
        {"node", {"node", "--inspect=9229", "-r", "dotenv/config", "server.js"}, "server.js"},
        {"node", {"node", "--require", "ts-node/register", "./src/index.ts"}, "index.ts"},
        {"node", {"node", "-e", "setInterval(() => {}, 1000)"}, std::nullopt},
        {"java", {"java", "-Xmx2g", "-Dmode=prod", "-jar", "/opt/shop/app.jar", "--port", "80"}, "app.jar"},
        {"java", {"java", "-cp", "lib/*:classes", "com.example.Main", "arg"}, "com.example.Main"},
        {"java", {"java", "--module-path", "mods", "-m", "shop/com.example.Main"}, "shop"},
        {"java", {"java", "--source", "21", "Tool.java"}, "Tool.java"},
        {"bash", {"bash", "./run.sh", "--watch"}, "run.sh"},
        {"bash", {"bash", "-c", "sleep 9 && ./run.sh"}, std::nullopt},
        {"bash", {"/bin/bash", "-e", "-o", "pipefail", "+O", "extglob", "ci/build.sh"}, "build.sh"},
        {"dash", {"/bin/sh", "-s", "arg"}, std::nullopt},
        {"fish", {"fish", "-C", "set x 1", "deploy.fish"}, "deploy.fish"},
        {"ruby3.1", {"ruby", "-Ilib", "-r", "bundler/setup", "bin/worker"}, "worker"},
        {"ruby", {"ruby", "-S", "rails", "server"}, "rails"},
        {"ruby", {"ruby", "-e", "loop { sleep 1 }"}, std::nullopt},
        {"perl", {"perl", "-MStrict", "-I", "lib", "-w", "watch.pl"}, "watch.pl"},
        {"perl", {"perl", "-wle", "print 1"}, std::nullopt},
        {"php8.2", {"php", "-d", "memory_limit=1G", "artisan", "queue:work"}, "artisan"},
        {"php", {"php", "-S", "localhost:8000", "-t", "public"}, std::nullopt},
        {"php", {"php", "-f", "cron.php"}, "cron.php"},
        {"sshd", {"/usr/sbin/sshd", "-D", "config.py"}, std::nullopt},  // no interpreter
        {"python3", {}, std::nullopt}};
    for (const auto& [name, arguments, expected] : cases)
        EXPECT_EQ(InterpreterScript::of(name, arguments), expected) << testing::PrintToString(arguments);
    for (std::string_view name : {"python3.12", "nodejs", "sh"})
        EXPECT_TRUE(InterpreterScript::isInterpreter(name)) << name;
    for (std::string_view name : {"pythonista", "nodes", "bashful", "ssh"})
        EXPECT_FALSE(InterpreterScript::isInterpreter(name)) << name;
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
        {"init", {}, 0, 500, 1, 0, true, {2}, {p[1]}}};
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

// Interpreter processes nothing else claims form one row per script, so quitting it reaches no
// unrelated script; an application still keeps all of its processes.
TEST(AppUsage, GroupsInterpretersOfTheirOwnByWhatTheyRun) {
    const AppOwner python{"python3.11", nullopt, false}, node{"node", nullopt, false},
        terminal{"Terminal", "/usr/share/applications/org.gnome.Terminal.desktop", false};
    auto run = [](std::int32_t pid, AppOwner owner, std::string path, std::string script) {
        ProcessRecord process = record(pid, std::move(owner), 0, 1);
        process.path = std::move(path);
        process.script = std::move(script);
        return process;
    };
    const std::vector<ProcessRecord> p{run(1, python, "/usr/bin/python3.11", "serve.py"),
                                       run(2, python, "/usr/bin/python3.11", "http.server"),
                                       run(3, python, "/usr/bin/python3.11", "serve.py"),
                                       run(4, python, "/usr/bin/python3.11", ""),
                                       run(5, terminal, "/usr/bin/python3.11", "serve.py"),
                                       run(6, node, "/usr/bin/node", "server.js")};
    std::map<std::string, std::tuple<std::vector<std::int32_t>, std::string, std::string>> rows;
    for (const auto& app : AppUsage::group({p, Date{}}))
        rows[app.name] = {app.pids, app.script, app.interpreter};
    const decltype(rows) expected{{"serve.py (python3.11)", {{1, 3}, "serve.py", "python3.11"}},
                                  {"http.server (python3.11)", {{2}, "http.server", "python3.11"}},
                                  {"python3.11", {{4}, "", ""}},
                                  {"Terminal", {{5}, "", ""}},
                                  {"server.js (node)", {{6}, "server.js", "node"}}};
    EXPECT_EQ(rows, expected);
}

}  // namespace
}  // namespace tarvik
