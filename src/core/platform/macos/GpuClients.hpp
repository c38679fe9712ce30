#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarvik::GPUUsage {

// The pid of an IOKit creator text "pid 412, WindowServer": the decimal number between "pid " and
// the first comma; nullopt without the prefix or the comma, or when the number does not parse.
[[nodiscard]] std::optional<std::int32_t> creator(std::string_view text);

}  // namespace tarvik::GPUUsage
