#pragma once

#include <string>
#include <string_view>
#include <vector>

// The local address a socket listens on, as the scan writes it: "*" for a wildcard bind, else
// numeric IPv4 or IPv6 text without brackets. Pure functions, safe from any thread.
namespace tarvik::BindAddress {

// "*", "0.0.0.0" or "::": every interface, the network's included.
[[nodiscard]] bool isWildcard(std::string_view address);
// 127.0.0.0/8, ::1 or an IPv4-mapped 127.x.x.x: only this machine can connect.
[[nodiscard]] bool isLoopback(std::string_view address);
// Reachable from another machine: a wildcard or any address that is not loopback (a LAN address
// such as 192.168.1.5 is). An empty (unknown) address is not.
[[nodiscard]] bool isExposed(std::string_view address);

// The address that says the most about who can connect: the first wildcard, else the first other
// exposed address, else the first one; "" for none.
[[nodiscard]] std::string mostExposed(const std::vector<std::string>& addresses);

// The addresses joined by ", ", exposed ones first and otherwise in the given order:
// {"127.0.0.1", "*"} reads "*, 127.0.0.1".
[[nodiscard]] std::string listText(const std::vector<std::string>& addresses);

// "127.0.0.1:3000", "[::1]:3000", "*:3000".
[[nodiscard]] std::string withPort(std::string_view address, int port);

}  // namespace tarvik::BindAddress
