#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik::ProcessRole {

// A one-line description of a well-known process name; nullopt when it is not known. The texts
// are already worded for this platform.
[[nodiscard]] std::optional<std::string> describe(std::string_view name);

}  // namespace tarvik::ProcessRole
