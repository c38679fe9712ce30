#include "core/servers/Server.hpp"

#include <algorithm>
#include <unordered_map>

#include "core/servers/BindAddress.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/ElapsedTime.hpp"
#include "core/support/Paths.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

std::vector<ListeningPort> ListeningPort::deduplicated(const std::vector<ListeningPort>& ports) {
    std::vector<ListeningPort> result;
    std::unordered_map<std::string, std::size_t> positions;
    for (const auto& port : ports) {
        std::string key = std::to_string(port.pid) + ":" + std::to_string(port.port);
        auto [it, inserted] = positions.try_emplace(key, result.size());
        if (inserted) {
            result.push_back(port);
            result.back().addresses.clear();
        }
        ListeningPort& kept = result[it->second];
        auto seen = port.addresses.empty() ? std::vector<std::string>{port.address} : port.addresses;
        for (auto& address : seen)
            if (std::find(kept.addresses.begin(), kept.addresses.end(), address) == kept.addresses.end())
                kept.addresses.push_back(std::move(address));
    }
    for (auto& kept : result) kept.address = BindAddress::mostExposed(kept.addresses);
    return result;
}

std::string_view rawValue(Energy energy) {
    switch (energy) {
        case Energy::low:
            return "Low";
        case Energy::medium:
            return "Medium";
        case Energy::high:
            return "High";
    }
    return "Low";
}

Energy energyFor(double cpuPercent) {
    if (cpuPercent < 5.0) return Energy::low;
    if (cpuPercent < 30.0) return Energy::medium;
    return Energy::high;
}

std::string Server::id() const {
    return std::to_string(pid) + ":" + std::to_string(port);
}

std::string Server::displayCommand() const {
    if (user && pid == 0) return "a process of " + *user + " that this user cannot see";
    if (!argv.empty()) return Text::repairUtf8(Text::quotedCommand(argv));
    return args.value_or(processName);
}

std::string Server::url() const {
    return "http://localhost:" + std::to_string(port);
}

std::vector<std::string> Server::boundAddresses() const {
    if (!addresses.empty()) return addresses;
    if (address.empty()) return {};
    return {address};
}

bool Server::isExposedToNetwork() const {
    auto bound = boundAddresses();
    return std::any_of(bound.begin(), bound.end(), [](const auto& a) { return BindAddress::isExposed(a); });
}

std::string Server::addressText() const {
    return BindAddress::listText(boundAddresses());
}

std::optional<std::string> Server::displayDirectory() const {
    return displayDirectory(Paths::homeDirectory());
}

std::optional<std::string> Server::displayDirectory(std::string_view home) const {
    if (!cwd || *cwd == "/") return std::nullopt;
    return Paths::abbreviatingHome(*cwd, home);
}

std::optional<std::string> Server::memoryLabel() const {
    if (!memoryBytes) return std::nullopt;
    return ByteFormat::short_(*memoryBytes);
}

std::optional<std::string> Server::uptimeLabel() const {
    if (!uptimeSeconds) return std::nullopt;
    return ElapsedTime::label(*uptimeSeconds);
}

std::optional<Energy> Server::energy() const {
    if (!cpuPercent) return std::nullopt;
    return energyFor(*cpuPercent);
}

Server Server::overriding(const Overrides& values) const {
    Server copy = *this;
    if (values.kind) copy.kind = *values.kind;
    if (values.project) copy.project = values.project;
    if (values.branch) copy.branch = values.branch;
    if (values.category) copy.category = *values.category;
    if (values.containerImage) copy.containerImage = values.containerImage;
    if (values.containerName) copy.containerName = values.containerName;
    if (values.memoryBytes) copy.memoryBytes = values.memoryBytes;
    if (values.cpuPercent) copy.cpuPercent = values.cpuPercent;
    if (values.processCount) copy.processCount = values.processCount;
    return copy;
}

}  // namespace tarvik
