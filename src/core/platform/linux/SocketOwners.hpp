#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
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
// socket (a forked worker shares it) or while some socket's holder is still unknown. A process is
// known by its pid and start stamp where the caller gives one, so that a reused pid is new.
// The search does not narrow by user: a socket's uid in the kernel's table is its creator's, and a
// server that binds as root and then changes user holds it under another. It stops once every
// socket has a holder and then walks the holders' parents and children, round after round: the
// only other processes that come to share a socket unless one is passed over a unix socket, which
// a full walk alone would find. Where the caller gives no parents, the holders' own files name
// their relatives.
class SocketOwners {
public:
    struct Holder {
        std::int32_t pid = 0;
        int fd = 0;
        std::uint64_t startTicks = 0;  // 0 when the caller gave none
        bool operator==(const Holder&) const = default;
    };

    // What a later run may take up: the holders found, the processes accounted for, and the
    // listening sockets that no visible process held. Only processes with a start stamp are kept.
    struct Memory {
        struct HolderEntry {
            std::uint64_t inode = 0;
            Holder holder;
            bool operator==(const HolderEntry&) const = default;
        };
        struct Process {
            std::int32_t pid = 0;
            std::uint64_t startTicks = 0;
            bool walked = false;  // its descriptors were read, not only seen while nothing was missing
            bool operator==(const Process&) const = default;
        };
        std::vector<HolderEntry> holders;
        std::vector<Process> processes;
        std::vector<std::uint64_t> unfound;
        bool operator==(const Memory&) const = default;
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

    // The state after the last call, for another run, each list in ascending order. Thread-safe.
    [[nodiscard]] Memory remembered() const;
    // Takes up what an earlier run remembered in place of a first walk. Nothing of it is trusted
    // as it stands: at the next `resolve` a holder or process counts only while a process of that
    // pid has that start stamp, and a holder only while its descriptor still links to the socket.
    // Thread-safe.
    void recall(Memory memory);

private:
    using Stamps = std::unordered_map<std::int32_t, std::uint64_t>;  // pid -> start stamp (0: unknown)

    void takeUp(const Memory& memory, const Stamps& live);

    mutable std::mutex m_mutex;                                        // guards everything below
    std::unordered_map<std::uint64_t, std::vector<Holder>> m_holders;  // inode -> verified holders
    std::unordered_set<std::uint64_t> m_unfound;                       // inodes a full walk did not find
    Stamps m_knownPids;                                                // processes of the previous call
    Stamps m_walkedPids;                                               // and those of them ever walked
    std::optional<Memory> m_recalled;                                  // to take up at the next call
    bool m_primed = false;
    std::size_t m_lastWalkCount = 0;
    std::vector<ListeningSocket> m_unowned;  // of the last call
};

}  // namespace tarvik
