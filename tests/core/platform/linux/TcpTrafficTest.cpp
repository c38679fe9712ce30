#include "core/platform/linux/TcpTraffic.hpp"

#include <gtest/gtest.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/tcp.h>

#include <netinet/in.h>

#include <cstring>

namespace tarvik {
namespace {

// A buffer of replies as the kernel lays them out, every part padded to 4 bytes.
struct Replies {
    std::vector<char> bytes;

    void put(const void* data, std::size_t size) {
        auto start = bytes.size();
        bytes.resize(start + NLMSG_ALIGN(size));
        std::memcpy(bytes.data() + start, data, size);
    }
    template <typename Payload>
    void message(std::uint16_t type, const Payload& payload) {
        nlmsghdr header{static_cast<std::uint32_t>(NLMSG_LENGTH(sizeof payload)), type, 0, 0, 0};
        put(&header, sizeof header);
        put(&payload, sizeof payload);
    }
    // A socket whose tcp_info attribute is cut to `infoLength` bytes.
    void socket(std::uint32_t inode, std::uint64_t received, std::uint64_t acked,
                std::size_t infoLength = sizeof(tcp_info)) {
        inet_diag_msg diag{};
        diag.idiag_inode = inode;
        tcp_info info{};
        info.tcpi_bytes_received = received;
        info.tcpi_bytes_acked = acked;
        rtattr attribute{static_cast<unsigned short>(RTA_LENGTH(infoLength)), INET_DIAG_INFO};
        nlmsghdr header{static_cast<std::uint32_t>(NLMSG_LENGTH(sizeof diag + RTA_ALIGN(attribute.rta_len))),
                        SOCK_DIAG_BY_FAMILY, 0, 0, 0};
        for (auto [data, size] : {std::pair<const void*, std::size_t>{&header, sizeof header},
                                  {&diag, sizeof diag},
                                  {&attribute, sizeof attribute},
                                  {&info, infoLength}})
            put(data, size);
    }
};

TEST(TcpTrafficParse, ReadsCountersSkipsShortInfoAndFailsOnErrorsAndCuts) {
    Replies replies;
    replies.socket(42, 1000, 2000);
    replies.socket(43, 5, 5, offsetof(tcp_info, tcpi_bytes_acked));  // an old kernel's shorter struct
    replies.socket(44, 0, 7);
    std::vector<SocketBytes> out;
    EXPECT_EQ(TcpTraffic::parseReplies(replies.bytes.data(), replies.bytes.size(), out),
              TcpTraffic::Batch::more);
    EXPECT_EQ(out, (std::vector<SocketBytes>{{42, 1000, 2000, 0}, {44, 0, 7, 0}}));
    EXPECT_EQ(TcpTraffic::parseReplies(replies.bytes.data(), replies.bytes.size() - 8, out),
              TcpTraffic::Batch::failed);

    replies.message(NLMSG_DONE, 0);
    EXPECT_EQ(TcpTraffic::parseReplies(replies.bytes.data(), replies.bytes.size(), out),
              TcpTraffic::Batch::done);
    Replies error;
    error.message(NLMSG_ERROR, nlmsgerr{});
    EXPECT_EQ(TcpTraffic::parseReplies(error.bytes.data(), error.bytes.size(), out),
              TcpTraffic::Batch::failed);
}

// A notice of a destroyed socket as sock_diag's multicast sends it: no inode, the cookie, the
// protocol as a one-byte attribute, an alignment pad and the final tcp_info.
std::vector<char> destroyNotice(std::uint64_t cookie, std::uint8_t protocol, std::uint64_t received,
                                std::uint64_t acked) {
    inet_diag_msg diag{};
    diag.idiag_family = AF_INET;
    diag.id.idiag_cookie[0] = static_cast<std::uint32_t>(cookie);
    diag.id.idiag_cookie[1] = static_cast<std::uint32_t>(cookie >> 32);
    tcp_info info{};
    info.tcpi_bytes_received = received;
    info.tcpi_bytes_acked = acked;
    rtattr protocolAttribute{static_cast<unsigned short>(RTA_LENGTH(1)), INET_DIAG_PROTOCOL};
    rtattr pad{static_cast<unsigned short>(RTA_LENGTH(0)), INET_DIAG_PAD};
    rtattr infoAttribute{static_cast<unsigned short>(RTA_LENGTH(sizeof info)), INET_DIAG_INFO};
    std::vector<char> bytes(NLMSG_LENGTH(sizeof diag) + RTA_ALIGN(RTA_LENGTH(1)) + RTA_LENGTH(0) +
                            RTA_LENGTH(sizeof info));
    nlmsghdr header{static_cast<std::uint32_t>(bytes.size()), SOCK_DIAG_BY_FAMILY, 0, 0, 0};
    std::size_t at = 0;
    auto put = [&](const void* data, std::size_t size, std::size_t advance) {
        std::memcpy(bytes.data() + at, data, size);
        at += advance;
    };
    put(&header, sizeof header, NLMSG_HDRLEN);
    put(&diag, sizeof diag, NLMSG_ALIGN(sizeof diag));
    put(&protocolAttribute, sizeof protocolAttribute, RTA_LENGTH(0));
    put(&protocol, 1, RTA_ALIGN(RTA_LENGTH(1)) - RTA_LENGTH(0));
    put(&pad, sizeof pad, RTA_LENGTH(0));
    put(&infoAttribute, sizeof infoAttribute, RTA_LENGTH(0));
    put(&info, sizeof info, sizeof info);
    return bytes;
}

TEST(TcpTrafficParse, ReadsDestroyNoticesByCookieAndSkipsOtherProtocols) {
    const std::uint64_t cookie = 0x1234'5678'9abc'def0;
    auto datagram = destroyNotice(cookie, IPPROTO_TCP, 4096, 9000);
    auto udp = destroyNotice(7, IPPROTO_UDP, 1, 1);
    datagram.insert(datagram.end(), udp.begin(), udp.end());
    std::vector<SocketBytes> out;
    EXPECT_EQ(TcpTraffic::parseDestroyed(datagram.data(), datagram.size(), out), TcpTraffic::Batch::more);
    EXPECT_EQ(out, (std::vector<SocketBytes>{{0, 4096, 9000, cookie}}));

    out.clear();
    EXPECT_EQ(TcpTraffic::parseDestroyed(datagram.data(), datagram.size() - 3, out),
              TcpTraffic::Batch::failed);
}

}  // namespace
}  // namespace tarvik
