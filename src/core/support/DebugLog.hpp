#pragma once

#include <string_view>

// Lines for whoever investigates why a reading is missing: written to standard error only when
// the environment sets TARVIK_DEBUG to something other than "" or "0", and dropped otherwise.
// Thread-safe: each line goes out in one write.
namespace tarvik::DebugLog {

[[nodiscard]] bool enabled();
// Writes "tarvik: `line`" and a newline when enabled.
void say(std::string_view line);

}  // namespace tarvik::DebugLog
