#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// The netlink sock_diag conversation about TCP sockets, shared by the listening table and the
// traffic counters (see sock_diag(7)).
namespace tarvik::SockDiag {

// Where one buffer of replies leaves the dump.
enum class Batch {
    more,    // the kernel has more to send
    done,    // NLMSG_DONE arrived
    failed,  // the kernel reported an error or the buffer is not a netlink reply
};

// One SOCK_DIAG_BY_FAMILY message: its bytes from the netlink header on, and its length.
using Visit = std::function<void(const char* message, std::size_t length)>;

// Walks one buffer of replies, handing every socket message to `visit`. NLMSG_NEXT and friends
// are written with C casts, so the walk is done by hand to keep the build warning-free.
[[nodiscard]] Batch walk(const char* data, std::size_t length, const Visit& visit);

// Dumps the TCP sockets of both families in the `states` bitmask, asking for the `extensions`
// bitmask of attributes; false when the kernel refuses the query.
[[nodiscard]] bool dumpTcp(std::uint32_t states, std::uint8_t extensions, const Visit& visit);

}  // namespace tarvik::SockDiag
