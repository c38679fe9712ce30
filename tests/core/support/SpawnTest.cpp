#include "core/support/Spawn.hpp"

#include <gtest/gtest.h>

#include <tuple>

#include "support/ProcStat.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

// Standard error is discarded, a signal's death and a missing program give -1, arguments reach
// the program untouched and output that is not UTF-8 is repaired.
TEST(Spawn, CapturesOutputAndStatusWithoutAShell) {
    const std::tuple<const char*, std::vector<std::string>, Spawn::Result> cases[] = {
        {"/bin/sh", {"-c", "printf 'a b\\n'; echo oops >&2; exit 3"}, {"a b\n", 3, false}},
        {"/nonexistent/tool", {}, {"", -1, false}},
        {"/bin/sh", {"-c", "echo before; kill -KILL $$"}, {"before\n", -1, false}},
        {"/bin/echo", {"$(touch x)", "a b"}, {"$(touch x) a b\n", 0, false}},
        {"/usr/bin/printf", {"ok\\377"}, {"ok\xEF\xBF\xBD", 0, false}}};
    for (const auto& [path, arguments, result] : cases)
        EXPECT_EQ(Spawn::run(path, arguments), result) << testing::PrintToString(arguments);
}

// The limit is far above what the shell needs to start and print, however busy the machine, so
// only the hang reaches it.
TEST(SpawnWatchdog, StopsAHungCommandWithItsChildrenAndKeepsItsOutput) {
    // The command prints the pid of a child of its own and waits for it.
    auto hung = Spawn::run("/bin/sh", {"-c", "sleep 300 & echo $!; wait"}, 2000ms);
    EXPECT_TRUE(hung.timedOut);
    EXPECT_EQ(hung.status, -1);
    ASSERT_TRUE(hung.output.ends_with("\n")) << hung.output;
    EXPECT_TRUE(test::waitUntilGone(std::stoi(hung.output), 30s)) << "the child went with the client";
    // Output closed early but the process lingers: the limit still holds.
    auto lingering = Spawn::run("/bin/sh", {"-c", "exec >/dev/null; exec sleep 30"}, 2000ms);
    EXPECT_TRUE(lingering.timedOut);
    auto quick = Spawn::run("/bin/sh", {"-c", "echo done"}, 5000ms);
    EXPECT_EQ(quick, (Spawn::Result{"done\n", 0, false}));
}

}  // namespace
}  // namespace tarvik
