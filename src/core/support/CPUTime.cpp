#include "core/support/CPUTime.hpp"

#include <cmath>

#include "core/support/Text.hpp"

namespace tarvik::CPUTime {

std::optional<double> parse(std::string_view text) {
    double base = 0;
    if (std::size_t dash = text.find('-'); dash != std::string_view::npos) {
        auto days = Text::parseDouble(text.substr(0, dash));
        if (!days) return std::nullopt;
        base = *days * 86'400;
        text.remove_prefix(dash + 1);
    }

    auto pieces = Text::split(text, ':');
    if (pieces.size() != 2 && pieces.size() != 3) return std::nullopt;
    double numbers[3] = {};
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        auto number = Text::parseDouble(pieces[i]);
        if (!number) return std::nullopt;
        numbers[i] = *number;
    }
    std::size_t last = pieces.size() - 1;
    double value = numbers[last] + numbers[last - 1] * 60;
    if (pieces.size() == 3) value += numbers[0] * 3'600;

    // Absurd magnitudes can still overflow to infinity, which is no more a time than garbage is.
    double total = Text::roundTo(base + value, 2);
    if (!std::isfinite(total)) return std::nullopt;
    return total;
}

}  // namespace tarvik::CPUTime
