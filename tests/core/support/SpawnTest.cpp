#include "core/support/Spawn.hpp"

#include <gtest/gtest.h>

#include "support/ProcStat.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

TEST(Spawn, CapturesOutputAndExitStatus) {
    auto result = Spawn::run("/bin/sh", {"-c", "printf 'a b\\n'; echo oops >&2; exit 3"});
    EXPECT_EQ(result.output, "a b\n") << "standard error is discarded";
    EXPECT_EQ(result.status, 3);
}

TEST(Spawn, MissingExecutableAndSignalDeathGiveMinusOne) {
    EXPECT_EQ(Spawn::run("/nonexistent/tool", {}), (Spawn::Result{"", -1, false}));
    auto killed = Spawn::run("/bin/sh", {"-c", "echo before; kill -KILL $$"});
    EXPECT_EQ(killed.output, "before\n");
    EXPECT_EQ(killed.status, -1);
}

TEST(Spawn, ArgumentsAreNotInterpretedAndOutputIsRepaired) {
    auto echoed = Spawn::run("/bin/echo", {"$(touch x)", "a b"});
    EXPECT_EQ(echoed.output, "$(touch x) a b\n");
    auto bytes = Spawn::run("/usr/bin/printf", {"ok\\377"});
    EXPECT_EQ(bytes.output, "ok\xEF\xBF\xBD");
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
