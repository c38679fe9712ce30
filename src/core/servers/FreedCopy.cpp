#include "core/servers/FreedCopy.hpp"

#include <algorithm>

#include "core/support/ByteFormat.hpp"
#include "core/support/Words.hpp"

namespace tarvik::FreedCopy {

namespace {
std::string capitalised(std::string text) {
    if (!text.empty() && text.front() >= 'a' && text.front() <= 'z')
        text.front() = static_cast<char>(text.front() - 32);
    return text;
}
}  // namespace

std::string ports(std::vector<int> ports) {
    std::sort(ports.begin(), ports.end());
    if (ports.empty()) return "no ports";
    if (ports.size() == 1) return "port " + std::to_string(ports.front());
    std::string text = "ports ";
    for (std::size_t i = 0; i + 1 < ports.size(); ++i) text += (i ? ", " : "") + std::to_string(ports[i]);
    return text + " and " + std::to_string(ports.back());
}

std::string stopping(std::uint64_t bytes, const std::vector<int>& portList, int count) {
    std::string pronoun = count == 1 ? "it" : "them";
    if (bytes != 0)
        return Words::text("Stopping " + pronoun + " frees " + ByteFormat::short_(bytes) + " and " +
                           ports(portList) + ".");
    return Words::text("Stopping " + pronoun + " frees " + ports(portList) + ".");
}

std::string stopped(const std::string& name, std::optional<std::uint64_t> bytes,
                    const std::vector<int>& portList) {
    if (bytes && *bytes != 0)
        return Words::filled(
            "{} stopped. " + ByteFormat::short_(*bytes) + " and " + ports(portList) + " are free.", {name});
    return Words::filled("{} stopped. " + capitalised(ports(portList)) + " " +
                             (portList.size() == 1 ? "is" : "are") + " free.",
                         {name});
}

}  // namespace tarvik::FreedCopy
