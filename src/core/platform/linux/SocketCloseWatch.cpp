#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "core/platform/LibProc.hpp"
#include "core/platform/linux/TcpTraffic.hpp"

namespace tarvik::LibProc {

namespace {
// Notices of a burst of closings queue here while the sampler sleeps between polls.
constexpr int receiveBuffer = 4 << 20;
// A storm of closings must not keep one poll reading forever.
constexpr int maxDatagramsPerPoll = 4096;
}  // namespace

SocketCloseWatch::SocketCloseWatch() {
    int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_SOCK_DIAG);
    if (fd < 0) return;
    // Binding also gives the socket its port id: the kernel's multicast skips an unbound socket
    // (port id 0, its own). The destroy groups are open to every user; a kernel without them
    // refuses the bind.
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = (1u << (SKNLGRP_INET_TCP_DESTROY - 1)) | (1u << (SKNLGRP_INET6_TCP_DESTROY - 1));
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return;
    }
    // FORCE passes the system's rmem_max where the process may (CAP_NET_ADMIN); elsewhere the
    // ordinary request is capped at it.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &receiveBuffer, sizeof receiveBuffer) != 0)
        (void)setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    m_fd = fd;
}

SocketCloseWatch::~SocketCloseWatch() {
    if (m_fd >= 0) close(m_fd);
}

void SocketCloseWatch::poll(int timeout, std::vector<SocketBytes>& out) {
    if (m_fd < 0) return;
    pollfd ready{m_fd, POLLIN, 0};
    if (::poll(&ready, 1, timeout) <= 0) return;
    char buffer[65536];
    for (int datagram = 0; datagram < maxDatagramsPerPoll; ++datagram) {
        ssize_t length = recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (length < 0 && errno == EINTR) continue;
        if (length < 0 && errno == ENOBUFS) continue;  // the queue overflowed; what is left still reads
        if (length <= 0) return;
        (void)TcpTraffic::parseDestroyed(buffer, static_cast<std::size_t>(length), out);
    }
}

}  // namespace tarvik::LibProc
