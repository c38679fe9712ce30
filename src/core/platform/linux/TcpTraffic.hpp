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

// Every TCP socket of both families in any state; nullopt when the kernel refuses the query.
[[nodiscard]] std::optional<std::vector<SocketBytes>> read();

}  // namespace tarvik::TcpTraffic
