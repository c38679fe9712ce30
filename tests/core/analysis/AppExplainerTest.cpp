#include "core/analysis/AppExplainer.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

ProcessRecord process(std::string path, double cpu) {
    return {1, 1, std::move(path), {}, cpu, 0, std::nullopt};
}

AppUsage app(std::string name, std::vector<ProcessRecord> processes = {}, bool isSystem = false) {
    return {std::move(name), {}, 0, 0, 0, 0, isSystem, {}, {}, std::move(processes)};
}

// The build serves Linux: every text reads in its Linux wording.
TEST(AppExplainer, HostRuleThenRulesInOrderThenFallbacks) {
    const std::string general = "If you aren't using it, quitting it frees up the processor and memory.";
    const std::string settles = "It settles once that finishes. Stop it there if you don't need it.";
    // Nothing holds a Linux processor back to cool it: the kernel's threads are explained as its work.
    const AppExplanation kernel{"Linux kernel at work",
                                "The kernel's own threads are moving data for disks, the network and memory "
                                "on behalf of other apps. It's a sign of what they do, not the cause.",
                                "Look at the next busiest app instead.", false};
    const std::string script =
        "A script or dev server is running. Builds, file watchers, and loops can keep it busy.";
    const std::pair<AppUsage, AppExplanation> cases[] = {
        {app("Google Chrome"),
         {"Google Chrome", "A tab playing video, a busy web app, or a page full of ads usually causes this.",
          "Close tabs you aren't using, or quit the browser and open it again.", true}},
        {app("kernel_task"), kernel},
        // Names no rule lists take the rule of their shape: a kernel thread, a versioned interpreter.
        {app("[kworker/0:1]"), kernel},
        {app("Python3.12"), {"Python3.12", script, "Stop it if you aren't using it.", true}},
        {app("Terminal", {process("/x/Terminal", 1), process("/x/node", 80)}),
         {"Terminal", "Most of this is node, a JavaScript program or dev server, started from Terminal.",
          settles, true}},
        // Below 5 % the host rule gives way, and no rule names "terminal".
        {app("Terminal", {process("/x/Terminal", 1), process("/x/node", 4)}),
         {"Terminal", "Most of it is Terminal.", general, true}},
        // Only the first child counts, however busy the next one is.
        {app("Terminal", {process("/bin/bash", 2), process("/usr/bin/node", 90)}),
         {"Terminal", "Most of it is bash, a terminal shell.", general, true}},
        // On Linux VS Code runs as "code": that is the host, not a child it started.
        {app("Visual Studio Code", {process("/usr/share/code/code", 40), process("/usr/bin/python3.11", 6)}),
         {"Visual Studio Code",
          "Most of this is python3.11, a script or server, started from Visual Studio Code.", settles, true}},
        {app("Xcode", {process("/x/Xcode", 10), process("/x/swift-frontend", 300)}),
         {"Xcode", "Most of this is swift-frontend, compiling Swift code, started from Xcode.", settles,
          true}},
        {app("gnome-shell", {}, true),
         {"gnome-shell",
          "It draws everything on your screens. Many open windows, external displays, or animations make it "
          "work harder.",
          "Close windows you aren't using, or turn off animations in your desktop's settings.", false}},
        {app("thermald", {process("/usr/sbin/thermald", 3)}, true),
         {"thermald", "This is part of Linux, doing background work.",
          "It usually settles down by itself. If it doesn't, restarting the computer helps.", false}},
        {app("Slack", {process("/usr/lib/slack/slack", 40)}),
         {"Slack", "It's one of the busiest apps right now.", general, true}},
        {app("Builder", {process("/usr/bin/clang", 50), process("/opt/builder", 1)}),
         {"Builder", "Most of it is clang, compiling code.", general, true}},
        {app("Builder", {process("/usr/bin/clang", 0.9), process("/opt/builder", 0)}),
         {"Builder", "It's one of the busiest apps right now.", general, true}},
    };
    for (const auto& [usage, expected] : cases)
        EXPECT_EQ(AppExplainer::explain(usage), expected) << usage.name;
}

}  // namespace
}  // namespace tarvik
