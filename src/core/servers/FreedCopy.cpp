#include "core/servers/FreedCopy.hpp"

#include <algorithm>

#include "core/support/ByteFormat.hpp"
#include "core/support/Text.hpp"

namespace tarvik::FreedCopy {

namespace {
std::string capitalised(std::string text) {
    if (!text.empty() && text.front() >= 'a' && text.front() <= 'z')
        text.front() = static_cast<char>(text.front() - 32);
    return text;
}
}  // namespace

std::string listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

std::string ports(std::vector<int> ports) {
    std::sort(ports.begin(), ports.end());
    if (ports.empty()) return "no ports";
    std::vector<std::string> numbers;
    for (int port : ports) numbers.push_back(std::to_string(port));
    return (ports.size() == 1 ? "port " : "ports ") + listed(numbers);
}

std::string stopping(std::uint64_t bytes, const std::vector<int>& portList, int count) {
    std::string pronoun = count == 1 ? "it" : "them";
    if (bytes != 0)
        return "Stopping " + pronoun + " frees " + ByteFormat::short_(bytes) + " and " + ports(portList) +
               ".";
    return "Stopping " + pronoun + " frees " + ports(portList) + ".";
}

std::string free(std::optional<std::uint64_t> bytes, const std::vector<int>& portList) {
    if (bytes && *bytes != 0) return ByteFormat::short_(*bytes) + " and " + ports(portList) + " are free.";
    return (capitalised(ports(portList)) + (portList.size() == 1 ? " is" : " are") + " free.");
}

std::string stopped(const std::string& name, std::optional<std::uint64_t> bytes,
                    const std::vector<int>& portList) {
    return Text::filled("{} stopped. ", {name}) + free(bytes, portList);
}

}  // namespace tarvik::FreedCopy
