#include "core/servers/BindAddress.hpp"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace tarvik::BindAddress {

namespace {

// 2 for a wildcard, 1 for another exposed address, 0 for loopback or unknown.
int reach(std::string_view address) {
    if (isWildcard(address)) return 2;
    return isExposed(address) ? 1 : 0;
}

}  // namespace

bool isWildcard(std::string_view address) {
    return address == "*" || address == "0.0.0.0" || address == "::";
}

bool isLoopback(std::string_view address) {
    const std::string text(address);
    std::array<std::uint8_t, 16> bytes{};
    if (inet_pton(AF_INET, text.c_str(), bytes.data()) == 1) return bytes[0] == 127;
    if (inet_pton(AF_INET6, text.c_str(), bytes.data()) != 1) return false;
    static constexpr std::array<std::uint8_t, 16> one = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    static constexpr std::uint8_t mappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (bytes == one) return true;
    return std::memcmp(bytes.data(), mappedPrefix, sizeof mappedPrefix) == 0 && bytes[12] == 127;
}

bool isExposed(std::string_view address) {
    return !address.empty() && !isLoopback(address);
}

std::string mostExposed(const std::vector<std::string>& addresses) {
    auto best = std::max_element(addresses.begin(), addresses.end(), [](const auto& a, const auto& b) {
        return reach(a) < reach(b);  // max_element keeps the first of equals
    });
    return best == addresses.end() ? std::string() : *best;
}

std::string listText(const std::vector<std::string>& addresses) {
    std::vector<std::string> ordered = addresses;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return reach(a) > reach(b); });
    std::string text;
    for (const auto& address : ordered) text += (text.empty() ? "" : ", ") + address;
    return text;
}

std::string withPort(std::string_view address, int port) {
    const bool ipv6 = address.find(':') != std::string_view::npos;
    std::string host = ipv6 ? "[" + std::string(address) + "]" : std::string(address);
    return host + ":" + std::to_string(port);
}

}  // namespace tarvik::BindAddress
