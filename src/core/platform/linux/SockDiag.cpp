#include "core/platform/linux/SockDiag.hpp"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tarvik::SockDiag {

Batch walk(const char* data, std::size_t length, const Visit& visit) {
    std::size_t offset = 0;
    while (offset + sizeof(nlmsghdr) <= length) {
        nlmsghdr header;
        std::memcpy(&header, data + offset, sizeof header);
        if (header.nlmsg_len < sizeof(nlmsghdr) || offset + header.nlmsg_len > length) return Batch::failed;
        if (header.nlmsg_type == NLMSG_DONE) return Batch::done;
        if (header.nlmsg_type == NLMSG_ERROR) return Batch::failed;
        if (header.nlmsg_type == SOCK_DIAG_BY_FAMILY) visit(data + offset, header.nlmsg_len);
        offset += NLMSG_ALIGN(header.nlmsg_len);
    }
    return offset == length ? Batch::more : Batch::failed;
}

namespace {

bool dumpFamily(int fd, std::uint8_t family, std::uint32_t states, std::uint8_t extensions,
                const Visit& visit) {
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.request.sdiag_family = family;
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = states;
    message.request.idiag_ext = extensions;

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        return false;

    std::vector<char> buffer(65536);
    for (;;) {
        ssize_t length = recv(fd, buffer.data(), buffer.size(), 0);
        if (length < 0 && errno == EINTR) continue;
        if (length <= 0) return false;
        switch (walk(buffer.data(), static_cast<std::size_t>(length), visit)) {
            case Batch::more:
                break;
            case Batch::done:
                return true;
            case Batch::failed:
                return false;
        }
    }
}

}  // namespace

bool dumpTcp(std::uint32_t states, std::uint8_t extensions, const Visit& visit) {
    int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0) return false;
    bool good = dumpFamily(fd, AF_INET, states, extensions, visit) &&
                dumpFamily(fd, AF_INET6, states, extensions, visit);
    close(fd);
    return good;
}

}  // namespace tarvik::SockDiag
