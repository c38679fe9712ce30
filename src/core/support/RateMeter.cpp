#include "core/support/RateMeter.hpp"

namespace tarvik {

std::optional<double> RateMeter::update(std::uint64_t value, Date at, std::optional<std::uint64_t> wrapsAt) {
    std::optional<double> rate;
    if (last) {
        std::optional<std::uint64_t> growth;
        if (value >= last->value)
            growth = value - last->value;
        else if (wrapsAt && last->value <= *wrapsAt)
            growth = *wrapsAt - last->value + value;
        double seconds = secondsBetween(last->at, at);
        if (growth && seconds > 0) rate = static_cast<double>(*growth) / seconds;
    }
    last = Reading{value, at};
    return rate;
}

}  // namespace tarvik
