#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

class ProcRoot;

// One TCP socket in the listening state, as the kernel lists it.
struct ListeningSocket {
    std::uint64_t inode = 0;
    int port = 0;
    std::string address;  // "*" for a wildcard bind; IPv4-mapped IPv6 reads as IPv4
    std::uint32_t uid = 0;
    bool operator==(const ListeningSocket&) const = default;
};

namespace SocketTable {

// Rows of /proc/net/tcp or /proc/net/tcp6 in state 0A (listen); other and garbled rows skipped.
// The hex addresses are the kernel's 32-bit words in this machine's byte order.
[[nodiscard]] std::vector<ListeningSocket> parseProcNet(std::string_view text);

// Address text: "*" for all-zero, dotted IPv4 (also for ::ffff:a.b.c.d), else IPv6 text.
[[nodiscard]] std::string addressText(const std::uint8_t* bytes, bool ipv6);

// Every listening TCP socket through netlink sock_diag; nullopt when the kernel refuses the query.
[[nodiscard]] std::optional<std::vector<ListeningSocket>> queryNetlink();

// The listening table of the root: netlink for the live /proc (falling back to the files), the
// net/tcp and net/tcp6 files of a fixture tree.
[[nodiscard]] std::vector<ListeningSocket> read(const ProcRoot& root);

}  // namespace SocketTable
}  // namespace tarvik
