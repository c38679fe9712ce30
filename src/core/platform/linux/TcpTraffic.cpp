#include "core/platform/linux/TcpTraffic.hpp"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/tcp.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/platform/linux/SockDiag.hpp"

namespace tarvik::TcpTraffic {

namespace {

// Both counters must lie inside the attribute the kernel sent; older kernels send a shorter struct.
constexpr std::size_t countersEnd =
    std::max(offsetof(tcp_info, tcpi_bytes_acked) + sizeof(tcp_info::tcpi_bytes_acked),
             offsetof(tcp_info, tcpi_bytes_received) + sizeof(tcp_info::tcpi_bytes_received));

std::uint64_t field(const char* info, std::size_t offset) {
    std::uint64_t value;
    std::memcpy(&value, info + offset, sizeof value);  // the attribute is only 4-byte aligned
    return value;
}

void parseSocket(const char* message, std::size_t length, std::vector<SocketBytes>& out) {
    if (length < NLMSG_LENGTH(sizeof(inet_diag_msg))) return;
    inet_diag_msg diag;
    std::memcpy(&diag, message + NLMSG_HDRLEN, sizeof diag);
    // RTA_NEXT and friends are C casts too; the attributes are walked by hand for the same reason.
    std::size_t offset = NLMSG_LENGTH(sizeof(inet_diag_msg));
    offset = NLMSG_ALIGN(offset);
    const char* info = nullptr;
    bool tcp = true;  // a dump names no protocol: it answers for the one asked about
    while (offset + sizeof(rtattr) <= length) {
        rtattr attribute;
        std::memcpy(&attribute, message + offset, sizeof attribute);
        if (attribute.rta_len < sizeof(rtattr) || offset + attribute.rta_len > length) return;
        const std::size_t size = attribute.rta_len - RTA_LENGTH(0);
        if (attribute.rta_type == INET_DIAG_INFO) {
            if (size < countersEnd) return;
            info = message + offset + RTA_LENGTH(0);
        } else if (attribute.rta_type == INET_DIAG_PROTOCOL && size >= 1) {
            tcp = static_cast<std::uint8_t>(message[offset + RTA_LENGTH(0)]) == IPPROTO_TCP;
        }
        offset += RTA_ALIGN(attribute.rta_len);
    }
    if (!info || !tcp) return;
    std::uint64_t cookie = diag.id.idiag_cookie[0] | static_cast<std::uint64_t>(diag.id.idiag_cookie[1])
                                                         << 32;
    out.push_back({diag.idiag_inode, field(info, offsetof(tcp_info, tcpi_bytes_received)),
                   field(info, offsetof(tcp_info, tcpi_bytes_acked)), cookie});
}

}  // namespace

Batch parseReplies(const void* data, std::size_t length, std::vector<SocketBytes>& out) {
    return SockDiag::walk(static_cast<const char*>(data), length,
                          [&](const char* message, std::size_t size) { parseSocket(message, size, out); });
}

Batch parseDestroyed(const void* data, std::size_t length, std::vector<SocketBytes>& out) {
    return parseReplies(data, length, out);
}

std::optional<std::vector<SocketBytes>> read() {
    std::vector<SocketBytes> sockets;
    // Every state: a closing socket still moved bytes in the interval.
    bool good = SockDiag::dumpTcp(
        ~0u, 1u << (INET_DIAG_INFO - 1),
        [&](const char* message, std::size_t size) { parseSocket(message, size, sockets); });
    if (!good) return std::nullopt;
    return sockets;
}

}  // namespace tarvik::TcpTraffic
