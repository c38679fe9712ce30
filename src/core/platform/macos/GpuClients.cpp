#include "core/platform/macos/GpuClients.hpp"

#include "core/support/Text.hpp"

namespace tarvik::GPUUsage {

std::optional<std::int32_t> creator(std::string_view text) {
    constexpr std::string_view prefix = "pid ";
    if (!text.starts_with(prefix)) return std::nullopt;
    text.remove_prefix(prefix.size());
    std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    return Text::parseInt32(text.substr(0, comma));
}

}  // namespace tarvik::GPUUsage
