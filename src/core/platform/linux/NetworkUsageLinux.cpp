#include <unordered_map>

#include "core/machine/NetworkUsage.hpp"
#include "core/platform/linux/ProcFs.hpp"
#include "core/platform/linux/TcpTraffic.hpp"
#include "core/support/Text.hpp"

namespace tarvik::NetworkUsage {

std::vector<ProcessTraffic> sample(const std::function<void()>& wait) {
    auto before = TcpTraffic::read();
    if (!before) return {};
    wait();
    auto after = TcpTraffic::read();
    if (!after) return {};

    // Owners are looked up after the second reading so that sockets opened during the interval
    // are found too. An inode shared through fork goes to the lowest pid, usually the parent.
    ProcRoot root;
    std::unordered_map<std::uint64_t, std::int32_t> owners;
    for (auto pid : root.pids())
        for (const auto& [fd, inode] : root.socketDescriptors(pid)) owners.emplace(inode, pid);

    return difference(*before, *after, owners, [&](std::int32_t pid) -> std::string {
        auto stat = root.stat(pid);
        if (!stat) return {};
        return std::string(Text::lastPathComponent(root.executablePath(pid, *stat)));
    });
}

}  // namespace tarvik::NetworkUsage
