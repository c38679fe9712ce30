#include "core/support/ElapsedTime.hpp"

#include <cstdint>
#include <limits>

#include "core/support/Text.hpp"

namespace tarvik::ElapsedTime {

std::optional<int> parse(std::string_view text) {
    text = Text::trim(text);
    if (text.empty()) return std::nullopt;

    auto dayParts = Text::split(text, '-');
    if (dayParts.empty() || dayParts.size() > 2) return std::nullopt;
    std::int64_t days = 0;
    if (dayParts.size() == 2) {
        auto parsed = Text::parseInt32(dayParts.front());
        if (!parsed) return std::nullopt;
        days = *parsed;
    }

    auto clock = Text::split(dayParts.back(), ':');
    if (clock.size() != 2 && clock.size() != 3) return std::nullopt;
    std::int64_t total = days * 86'400;
    std::int64_t scale = clock.size() == 3 ? 3'600 : 60;
    for (std::string_view piece : clock) {
        // Pieces read as 32-bit: none can be negative ('-' separates days), so a piece that does
        // not fit already makes the result overflow, and 64-bit arithmetic cannot.
        auto value = Text::parseInt32(piece);
        if (!value) return std::nullopt;
        total += *value * scale;
        scale /= 60;
    }
    if (total > std::numeric_limits<int>::max() || total < std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(total);
}

std::string label(int seconds) {
    if (seconds < 60) return std::to_string(seconds) + "s";
    if (seconds < 3'600) return std::to_string(seconds / 60) + "m";
    if (seconds < 86'400) {
        std::string hours = std::to_string(seconds / 3'600) + "h";
        int rest = seconds % 3'600;
        return rest < 60 ? hours : hours + " " + std::to_string(rest / 60) + "m";
    }
    std::string days = std::to_string(seconds / 86'400) + "d";
    int rest = seconds % 86'400;
    return rest < 3'600 ? days : days + " " + std::to_string(rest / 3'600) + "h";
}

}  // namespace tarvik::ElapsedTime
