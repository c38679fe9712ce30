#include "core/platform/linux/TcpTraffic.hpp"

#include <gtest/gtest.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/tcp.h>

#include <netinet/in.h>

#include <cstring>
#include <optional>

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
    void attribute(std::uint16_t type, const void* data, std::size_t size) {
        rtattr head{static_cast<unsigned short>(RTA_LENGTH(size)), type};
        put(&head, sizeof head);
        if (size > 0) put(data, size);
    }
    // A socket whose tcp_info attribute is cut to `infoLength` bytes. A dump names no protocol; a
    // notice of a destroyed socket does, in a one-byte attribute followed by a pad.
    void socket(std::uint32_t inode, std::uint64_t cookie, std::uint64_t received, std::uint64_t acked,
                std::size_t infoLength = sizeof(tcp_info), std::optional<std::uint8_t> protocol = {}) {
        Replies body;
        inet_diag_msg diag{};
        diag.idiag_inode = inode;
        diag.id.idiag_cookie[0] = static_cast<std::uint32_t>(cookie);
        diag.id.idiag_cookie[1] = static_cast<std::uint32_t>(cookie >> 32);
        body.put(&diag, sizeof diag);
        if (protocol) {
            body.attribute(INET_DIAG_PROTOCOL, &*protocol, 1);
            body.attribute(INET_DIAG_PAD, nullptr, 0);
        }
        tcp_info info{};
        info.tcpi_bytes_received = received;
        info.tcpi_bytes_acked = acked;
        body.attribute(INET_DIAG_INFO, &info, infoLength);
        nlmsghdr header{static_cast<std::uint32_t>(NLMSG_LENGTH(body.bytes.size())), SOCK_DIAG_BY_FAMILY, 0,
                        0, 0};
        put(&header, sizeof header);
        put(body.bytes.data(), body.bytes.size());
    }
};

TEST(TcpTrafficParse, ReadsCountersSkipsShortInfoAndFailsOnErrorsAndCuts) {
    Replies replies;
    replies.socket(42, 0, 1000, 2000);
    replies.socket(43, 0, 5, 5, offsetof(tcp_info, tcpi_bytes_acked));  // an old kernel's shorter struct
    replies.socket(44, 0, 0, 7);
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

TEST(TcpTrafficParse, ReadsDestroyNoticesByCookieAndSkipsOtherProtocols) {
    const std::uint64_t cookie = 0x1234'5678'9abc'def0;
    Replies notices;
    notices.socket(0, cookie, 4096, 9000, sizeof(tcp_info), IPPROTO_TCP);
    notices.socket(0, 7, 1, 1, sizeof(tcp_info), IPPROTO_UDP);
    std::vector<SocketBytes> out;
    EXPECT_EQ(TcpTraffic::parseDestroyed(notices.bytes.data(), notices.bytes.size(), out),
              TcpTraffic::Batch::more);
    EXPECT_EQ(out, (std::vector<SocketBytes>{{0, 4096, 9000, cookie}}));
}

}  // namespace
}  // namespace tarvik
