#include "core/platform/linux/SocketTable.hpp"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

#include "core/platform/linux/ProcFs.hpp"
#include "core/platform/linux/SockDiag.hpp"
#include "core/support/Text.hpp"

namespace tarvik::SocketTable {

namespace {

constexpr int tcpListen = 10;  // TCP_LISTEN in the kernel's state numbering ("0A" in the files)

std::optional<std::uint32_t> parseHex32(std::string_view text) {
    if (text.size() != 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

}  // namespace

std::string addressText(const std::uint8_t* bytes, bool ipv6) {
    static constexpr std::uint8_t mappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (ipv6 && std::memcmp(bytes, mappedPrefix, sizeof mappedPrefix) == 0) {
        bytes += 12;
        ipv6 = false;
    }
    // Checked after unmapping, so that ::ffff:0.0.0.0 is the wildcard it is.
    std::size_t length = ipv6 ? 16 : 4;
    if (std::all_of(bytes, bytes + length, [](std::uint8_t b) { return b == 0; })) return "*";
    char text[INET6_ADDRSTRLEN] = {};
    if (!inet_ntop(ipv6 ? AF_INET6 : AF_INET, bytes, text, sizeof text)) return "*";
    return text;
}

std::vector<ListeningSocket> parseProcNet(std::string_view text) {
    std::vector<ListeningSocket> result;
    for (auto line : Text::lines(text)) {
        auto fields = Text::split(line, ' ');
        if (fields.size() < 10) continue;  // header or truncated row
        if (fields[3] != "0A") continue;   // not listening
        auto local = fields[1];
        auto colon = local.find(':');
        if (colon == std::string_view::npos) continue;
        auto hexAddress = local.substr(0, colon);
        if (hexAddress.size() != 8 && hexAddress.size() != 32) continue;
        std::uint8_t bytes[16] = {};
        bool good = true;
        for (std::size_t word = 0; good && word < hexAddress.size() / 8; ++word) {
            auto value = parseHex32(hexAddress.substr(word * 8, 8));
            if (!value)
                good = false;
            else
                std::memcpy(bytes + word * 4, &*value, 4);  // the kernel printed host-order words
        }
        auto hexPort = local.substr(colon + 1);
        auto port = hexPort.size() == 4 ? parseHex32("0000" + std::string(hexPort)) : std::nullopt;
        auto uid = Text::parseUInt64(fields[7]);
        auto inode = Text::parseUInt64(fields[9]);
        if (!good || !port || !uid || *uid > 0xFFFFFFFFu || !inode) continue;  // garbled row
        result.push_back({*inode, static_cast<int>(*port), addressText(bytes, hexAddress.size() == 32),
                          static_cast<std::uint32_t>(*uid)});
    }
    return result;
}

std::optional<std::vector<ListeningSocket>> queryNetlink() {
    std::vector<ListeningSocket> sockets;
    bool good = SockDiag::dumpTcp(1u << tcpListen, 0, [&](const char* message, std::size_t length) {
        if (length < NLMSG_LENGTH(sizeof(inet_diag_msg))) return;
        inet_diag_msg diag;
        std::memcpy(&diag, message + NLMSG_HDRLEN, sizeof diag);
        if (diag.idiag_state != tcpListen) return;
        std::uint8_t bytes[16];
        std::memcpy(bytes, diag.id.idiag_src, sizeof bytes);
        sockets.push_back({diag.idiag_inode, ntohs(diag.id.idiag_sport),
                           addressText(bytes, diag.idiag_family == AF_INET6), diag.idiag_uid});
    });
    if (!good) return std::nullopt;
    return sockets;
}

std::vector<ListeningSocket> read(const ProcRoot& root) {
    if (root.isLive()) {
        if (auto sockets = queryNetlink()) return *sockets;
    }
    std::vector<ListeningSocket> sockets;
    for (std::string_view file : {"net/tcp", "net/tcp6"}) {
        if (auto text = root.read(file)) {
            auto rows = parseProcNet(*text);
            sockets.insert(sockets.end(), rows.begin(), rows.end());
        }
    }
    return sockets;
}

}  // namespace tarvik::SocketTable
