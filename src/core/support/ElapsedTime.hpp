#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik::ElapsedTime {

// Seconds from ps's [[days-]hours:]minutes:seconds; nullopt for anything else or on overflow.
[[nodiscard]] std::optional<int> parse(std::string_view text);

// "45s", "2m", "2h", "2h 5m", "1d", "1d 4h" (integer division; negative input reads as seconds).
[[nodiscard]] std::string label(int seconds);

}  // namespace tarvik::ElapsedTime
