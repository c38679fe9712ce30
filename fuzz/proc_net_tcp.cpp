#include "Input.hpp"
#include "core/platform/linux/SocketTable.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto input = fuzz::text(data, size);
    auto sockets = SocketTable::parseProcNet(input);
    // A row holds ten fields on a line of its own.
    fuzz::require(sockets.size() <= size / 20 + 1);
    for (const auto& socket : sockets) {
        fuzz::require(socket.port >= 0 && socket.port <= 0xFFFF);  // four hex digits
        fuzz::require(!socket.address.empty());
    }
    return 0;
}
