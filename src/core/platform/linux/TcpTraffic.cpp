#include "core/platform/linux/TcpTraffic.hpp"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

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
    while (offset + sizeof(rtattr) <= length) {
        rtattr attribute;
        std::memcpy(&attribute, message + offset, sizeof attribute);
        if (attribute.rta_len < sizeof(rtattr) || offset + attribute.rta_len > length) return;
        if (attribute.rta_type == INET_DIAG_INFO) {
            const char* info = message + offset + RTA_LENGTH(0);
            if (attribute.rta_len - RTA_LENGTH(0) < countersEnd) return;
            out.push_back({diag.idiag_inode, field(info, offsetof(tcp_info, tcpi_bytes_received)),
                           field(info, offsetof(tcp_info, tcpi_bytes_acked))});
            return;
        }
        offset += RTA_ALIGN(attribute.rta_len);
    }
}

bool dumpFamily(int fd, std::uint8_t family, std::vector<SocketBytes>& out) {
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.request.sdiag_family = family;
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = ~0u;  // a closing socket still moved bytes in the interval
    message.request.idiag_ext = 1u << (INET_DIAG_INFO - 1);

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        return false;

    std::vector<char> buffer(65536);
    for (;;) {
        ssize_t length = recv(fd, buffer.data(), buffer.size(), 0);
        if (length < 0 && errno == EINTR) continue;
        if (length <= 0) return false;
        switch (parseReplies(buffer.data(), static_cast<std::size_t>(length), out)) {
            case Batch::more: break;
            case Batch::done: return true;
            case Batch::failed: return false;
        }
    }
}

}  // namespace

Batch parseReplies(const void* data, std::size_t length, std::vector<SocketBytes>& out) {
    const auto* bytes = static_cast<const char*>(data);
    std::size_t offset = 0;
    while (offset + sizeof(nlmsghdr) <= length) {
        nlmsghdr header;
        std::memcpy(&header, bytes + offset, sizeof header);
        if (header.nlmsg_len < sizeof(nlmsghdr) || offset + header.nlmsg_len > length) return Batch::failed;
        if (header.nlmsg_type == NLMSG_DONE) return Batch::done;
        if (header.nlmsg_type == NLMSG_ERROR) return Batch::failed;
        if (header.nlmsg_type == SOCK_DIAG_BY_FAMILY) parseSocket(bytes + offset, header.nlmsg_len, out);
        offset += NLMSG_ALIGN(header.nlmsg_len);
    }
    return offset == length ? Batch::more : Batch::failed;
}

std::optional<std::vector<SocketBytes>> read() {
    int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0) return std::nullopt;
    std::vector<SocketBytes> sockets;
    bool good = dumpFamily(fd, AF_INET, sockets) && dumpFamily(fd, AF_INET6, sockets);
    close(fd);
    if (!good) return std::nullopt;
    return sockets;
}

}  // namespace tarvik::TcpTraffic
