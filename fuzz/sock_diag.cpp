#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstring>
#include <vector>

#include "Input.hpp"
#include "core/platform/linux/TcpTraffic.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input, so that AddressSanitizer sees any read past the buffer the
    // kernel would have filled.
    std::vector<char> buffer(data, data + size);
    std::vector<SocketBytes> sockets;
    auto batch = TcpTraffic::parseReplies(buffer.data(), buffer.size(), sockets);
    fuzz::require(batch == TcpTraffic::Batch::more || batch == TcpTraffic::Batch::done ||
                  batch == TcpTraffic::Batch::failed);
    // A socket is a message of its own holding the diag header and the counters' attribute.
    constexpr std::size_t smallest = NLMSG_LENGTH(sizeof(inet_diag_msg)) + RTA_LENGTH(0);
    fuzz::require(sockets.size() * smallest <= size);
    return 0;
}
