#include "core/platform/linux/SocketOwners.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "core/platform/linux/ProcFs.hpp"
#include "support/Listener.hpp"

namespace tarvik {
namespace {

using test::Listener;

using Owners = std::unordered_map<std::int32_t, std::vector<ListeningSocket>>;

// The kernel's table cut down to the listeners of this test: a socket that another process opens
// meanwhile would be one nobody is known to hold, and would make a walk the test did not ask for.
std::vector<ListeningSocket> tableOf(const std::vector<const Listener*>& listeners) {
    auto table = SocketTable::queryNetlink().value();
    std::erase_if(table, [&](const ListeningSocket& socket) {
        return socket.address != "127.0.0.1" ||
               std::none_of(listeners.begin(), listeners.end(),
                            [&](const Listener* listener) { return listener->port() == socket.port; });
    });
    return table;
}

// The test walks only its own processes, so every other process on the machine stays untouched.
TEST(SocketOwners, RemembersHoldersAndWalksOnlyWhatIsNew) {
    ProcRoot root;
    SocketOwners owners;
    Listener first;
    const std::int32_t self = getpid();
    std::vector<LibProc::ProcessRef> processes{{self, getppid()}};
    // A socket whose holder is not among the processes given (another user's, or hidden) is kept
    // as unowned, so that the scan can still list its port.
    const auto one = tableOf({&first});
    (void)owners.resolve(root, one, {});
    EXPECT_EQ(owners.unowned(), one) << "no process given: nobody holds it";
    EXPECT_EQ(one.at(0).uid, geteuid()) << "the kernel's table names the listener's owner";

    EXPECT_EQ(owners.resolve(root, one, processes), (Owners{{self, one}}));
    EXPECT_EQ(owners.lastWalkCount(), 1u);
    EXPECT_TRUE(owners.unowned().empty());
    EXPECT_EQ(owners.resolve(root, one, processes), (Owners{{self, one}}));
    EXPECT_EQ(owners.lastWalkCount(), 0u) << "a known holder is checked, not walked";

    // A forked worker shares the socket: found because its parent holds one.
    pid_t child = fork();
    if (child == 0) {
        for (;;) pause();
    }
    ASSERT_GT(child, 0);
    processes.push_back({child, self});
    EXPECT_EQ(owners.resolve(root, one, processes), (Owners{{self, one}, {child, one}}));
    EXPECT_EQ(owners.lastWalkCount(), 1u);

    // A socket nobody is known to hold yet makes one full walk.
    Listener second;
    auto both = one;
    both.push_back(tableOf({&second}).at(0));
    EXPECT_EQ(owners.resolve(root, both, processes), (Owners{{self, both}, {child, one}}));
    EXPECT_EQ(owners.lastWalkCount(), 2u);

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    processes.pop_back();
    EXPECT_EQ(owners.resolve(root, both, processes), (Owners{{self, both}}));
}

}  // namespace
}  // namespace tarvik
