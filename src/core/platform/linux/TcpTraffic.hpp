#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/machine/NetworkUsage.hpp"
#include "core/platform/linux/SockDiag.hpp"

// The byte counters of every TCP socket, read through netlink sock_diag with the kernel's
// tcp_info attached. Listing the counters of any socket needs no privilege.
namespace tarvik::TcpTraffic {

using Batch = SockDiag::Batch;

// Appends one reading per socket of a buffer of replies to an INET_DIAG_INFO request: bytes
// received as `bytesIn`, bytes the peer acknowledged as `bytesOut` (so that data still queued or
// retransmitted is not counted twice). A socket without tcp_info, or with one too short to hold
// the counters (kernels before 4.1), is skipped.
[[nodiscard]] Batch parseReplies(const void* data, std::size_t length, std::vector<SocketBytes>& out);

// The same for a datagram of the kernel's notices of destroyed sockets (the sock_diag multicast
// groups of TCP over IPv4 and IPv6): one inet_diag_msg each with INET_DIAG_PROTOCOL and the final
// INET_DIAG_INFO. The kernel fills in the addresses, the state and the cookie but neither inode nor
// uid, so `inode` comes out 0 and the cookie is what matches a notice to an earlier dump. A notice
// about another protocol is skipped.
[[nodiscard]] Batch parseDestroyed(const void* data, std::size_t length, std::vector<SocketBytes>& out);

// Every TCP socket of both families in any state; nullopt when the kernel refuses the query.
[[nodiscard]] std::optional<std::vector<SocketBytes>> read();

}  // namespace tarvik::TcpTraffic
