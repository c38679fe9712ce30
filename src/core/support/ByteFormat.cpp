#include "core/support/ByteFormat.hpp"

#include <cmath>
#include <string_view>

#include <fmt/format.h>

#include "core/support/Text.hpp"

namespace tarvik::ByteFormat {

namespace {

constexpr double kibi = 1024.0;
constexpr double mebi = 1024.0 * 1024.0;

// A value already rounded to tenths: whole numbers drop the decimal, the rest keep exactly one.
// "{:.0f}" rather than an integer cast so that no magnitude can overflow the conversion.
std::string tenths(double value, std::string_view unit) {
    if (value == std::trunc(value)) return fmt::format("{:.0f} {}", value, unit);
    return fmt::format("{:.1f} {}", value, unit);
}

double roundToTenths(double value) {
    return Text::roundHalfAwayFromZero(value * 10) / 10;
}

}  // namespace

std::string short_(std::uint64_t bytes) {
    // The unit is chosen before rounding, so 1023.95 MiB stays "1024 MB" rather than "1 GB".
    double megabytes = static_cast<double>(bytes) / mebi;
    if (megabytes < 1024) return tenths(roundToTenths(megabytes), "MB");
    return tenths(roundToTenths(megabytes / 1024), "GB");
}

std::string storage(std::uint64_t bytes) {
    struct Unit {
        double threshold;
        std::string_view label;
    };
    static constexpr Unit units[] = {{1e12, "TB"}, {1e9, "GB"}, {1e6, "MB"}};
    double value = static_cast<double>(bytes);
    for (const Unit& unit : units)
        if (unit.threshold <= value) return tenths(roundToTenths(value / unit.threshold), unit.label);
    return fmt::format("{:.0f} KB", Text::roundHalfAwayFromZero(value / 1000));
}

std::string rate(double bytesPerSecond) {
    // NaN is treated like a negative rate; "-0" must never reach the text either.
    if (!(bytesPerSecond > 0)) bytesPerSecond = 0;
    double kilobytes = bytesPerSecond / kibi;
    if (kilobytes < 1024) return fmt::format("{:.0f} KB/s", Text::roundHalfAwayFromZero(kilobytes));
    double megabytes = kilobytes / 1024;
    if (megabytes < 1024) return tenths(roundToTenths(megabytes), "MB/s");
    // Gigabytes keep their decimal even when whole so the figure does not jump in width.
    return fmt::format("{:.1f} GB/s", megabytes / 1024);
}

}  // namespace tarvik::ByteFormat
