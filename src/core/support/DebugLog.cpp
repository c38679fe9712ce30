#include "core/support/DebugLog.hpp"

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tarvik::DebugLog {

bool enabled() {
    static const bool on = [] {
        const char* value = std::getenv("TARVIK_DEBUG");
        return value && *value && std::string_view(value) != "0";
    }();
    return on;
}

void say(std::string_view line) {
    if (!enabled()) return;
    std::string text = "tarvik: " + std::string(line) + "\n";
    // A diagnostic that cannot be written has nowhere else to go.
    [[maybe_unused]] auto written = ::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace tarvik::DebugLog
