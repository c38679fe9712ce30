#pragma once

#include <optional>
#include <string_view>

namespace tarvik::CPUTime {

// Seconds from ps's `time` column, [days-][hours:]minutes:seconds with a decimal fraction on the
// seconds, rounded to two decimals (halves away from zero); nullopt when it does not read.
[[nodiscard]] std::optional<double> parse(std::string_view text);

}  // namespace tarvik::CPUTime
