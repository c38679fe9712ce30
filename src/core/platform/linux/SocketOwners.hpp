#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/platform/LibProc.hpp"
#include "core/platform/linux/SocketTable.hpp"

namespace tarvik {

class ProcRoot;

// Which processes hold which listening sockets. Linux names a socket's owner only through the
// descriptor links of every process, and walking them all is the dearest part of a scan, so the
// holders found are remembered and re-checked with one readlink each. A full walk runs only for a
// socket whose holder is not known; a new process is walked when its parent holds a listening
// socket (a forked worker shares it) or while some socket's holder is still unknown.
class SocketOwners {
public:
    struct Holder {
        std::int32_t pid = 0;
        int fd = 0;
        bool operator==(const Holder&) const = default;
    };

    // pid -> the listening sockets it holds, ascending by descriptor. Thread-safe.
    std::unordered_map<std::int32_t, std::vector<ListeningSocket>> resolve(
        const ProcRoot& root, const std::vector<ListeningSocket>& table,
        const std::vector<LibProc::ProcessRef>& processes);

    // The listening sockets of the last call whose holder was not found: another user's, or held
    // by a process whose descriptors the kernel does not show this user. Thread-safe.
    [[nodiscard]] std::vector<ListeningSocket> unowned() const;

    // How many processes the last call walked in full (for tests and benchmarks).
    [[nodiscard]] std::size_t lastWalkCount() const;

private:
    mutable std::mutex m_mutex;                                        // guards everything below
    std::unordered_map<std::uint64_t, std::vector<Holder>> m_holders;  // inode -> verified holders
    std::unordered_set<std::uint64_t> m_unfound;                       // inodes a full walk did not find
    std::unordered_set<std::int32_t> m_knownPids;                      // pids of the previous call
    bool m_primed = false;
    std::size_t m_lastWalkCount = 0;
    std::vector<ListeningSocket> m_unowned;  // of the last call
};

}  // namespace tarvik
