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

std::vector<int> portsOf(const std::unordered_map<std::int32_t, std::vector<ListeningSocket>>& owners,
                         std::int32_t pid) {
    std::vector<int> ports;
    if (auto it = owners.find(pid); it != owners.end())
        for (const auto& socket : it->second) ports.push_back(socket.port);
    return ports;
}

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
    (void)owners.resolve(root, tableOf({&first}), {});
    EXPECT_EQ(owners.unowned(), tableOf({&first})) << "no process given: nobody holds it";
    EXPECT_EQ(tableOf({&first}).at(0).uid, geteuid()) << "the kernel's table names the listener's owner";

    auto result = owners.resolve(root, tableOf({&first}), processes);
    EXPECT_EQ(portsOf(result, self), std::vector<int>{first.port()});
    EXPECT_EQ(owners.lastWalkCount(), 1u);
    EXPECT_TRUE(owners.unowned().empty());

    result = owners.resolve(root, tableOf({&first}), processes);
    EXPECT_EQ(portsOf(result, self), std::vector<int>{first.port()});
    EXPECT_EQ(owners.lastWalkCount(), 0u) << "a known holder is checked, not walked";

    // A forked worker shares the socket: found because its parent holds one.
    pid_t child = fork();
    if (child == 0) {
        for (;;) pause();
    }
    ASSERT_GT(child, 0);
    processes.push_back({child, self});
    result = owners.resolve(root, tableOf({&first}), processes);
    EXPECT_EQ(portsOf(result, child), std::vector<int>{first.port()});
    EXPECT_EQ(owners.lastWalkCount(), 1u);

    // A socket nobody is known to hold yet makes one full walk.
    Listener second;
    result = owners.resolve(root, tableOf({&first, &second}), processes);
    EXPECT_EQ(portsOf(result, self), (std::vector<int>{first.port(), second.port()}));
    EXPECT_EQ(owners.lastWalkCount(), 2u);

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    processes.pop_back();
    result = owners.resolve(root, tableOf({&first, &second}), processes);
    EXPECT_FALSE(result.contains(child));
    EXPECT_EQ(portsOf(result, self), (std::vector<int>{first.port(), second.port()}));
}

}  // namespace
}  // namespace tarvik
