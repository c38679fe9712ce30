#include "core/support/ByteUnits.hpp"

#include <cmath>
#include <limits>
#include <string>

#include "core/support/Text.hpp"

namespace tarvik::ByteUnits {

namespace {

constexpr double twoToThe64 = 18446744073709551616.0;

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::optional<double> factorOf(std::string_view unit) {
    static constexpr std::pair<std::string_view, double> units[] = {
        {"b", 1.0},         {"k", 1024.0},       {"kib", 1024.0},       {"m", 1048576.0},
        {"mib", 1048576.0}, {"g", 1073741824.0}, {"gib", 1073741824.0}, {"kb", 1e3},
        {"mb", 1e6},        {"gb", 1e9},         {"tb", 1e12},          {"pb", 1e15},
    };
    std::string lower = Text::lowercased(unit);
    for (const auto& [name, factor] : units)
        if (lower == name) return factor;
    return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> parse(std::string_view text) {
    text = Text::trim(text, Text::whitespace);
    std::size_t unitStart = text.size();
    while (unitStart > 0 && isLetter(text[unitStart - 1])) --unitStart;
    auto factor = factorOf(text.substr(unitStart));
    auto number = Text::parseDouble(Text::trim(text.substr(0, unitStart)));
    if (!factor || !number || *number < 0) return std::nullopt;
    double bytes = std::trunc(*number * *factor);
    if (!(bytes < twoToThe64)) return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

std::optional<std::uint64_t> parseKibibytes(std::string_view count) {
    auto kibibytes = Text::parseUInt64(Text::trim(count, Text::whitespace));
    if (!kibibytes || *kibibytes > std::numeric_limits<std::uint64_t>::max() / 1024) return std::nullopt;
    return *kibibytes * 1024;
}

}  // namespace tarvik::ByteUnits
