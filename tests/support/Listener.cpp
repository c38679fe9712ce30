#include "support/Listener.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace tarvik::test {

Listener::Listener(Mode mode, std::string reply, std::size_t together)
    : m_mode(mode), m_reply(std::move(reply)), m_together(together) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_fd, 16);
    socklen_t length = sizeof address;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

Listener::~Listener() {
    m_done = true;
    m_thread.join();
    close(m_fd);
}

void Listener::serve() {
    std::vector<int> open;
    while (!m_done) {
        pollfd entry{m_fd, POLLIN, 0};
        if (poll(&entry, 1, 50) <= 0) continue;
        int connection = accept(m_fd, nullptr, nullptr);
        if (connection < 0) continue;
        if (m_mode == Mode::hangUp) {
            close(connection);
            continue;
        }
        if (m_mode == Mode::hold) (void)!send(connection, m_reply.data(), m_reply.size(), MSG_NOSIGNAL);
        open.push_back(connection);
        if (m_mode == Mode::hold || open.size() < m_together) continue;
        for (int held : open) {
            char request[2048];
            (void)!recv(held, request, sizeof request, 0);
            (void)!send(held, m_reply.data(), m_reply.size(), MSG_NOSIGNAL);
            close(held);
        }
        open.clear();
    }
    for (int connection : open) close(connection);
}

}  // namespace tarvik::test
