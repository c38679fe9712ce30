#include "core/platform/macos/Nettop.hpp"

#include <algorithm>
#include <climits>
#include <optional>

#include "core/support/Text.hpp"

namespace tarvik::NetworkUsage {

namespace {

std::optional<std::uint64_t> decimal(std::string_view text) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return Text::parseUInt64(text);
}

std::optional<ProcessTraffic> parseLine(std::string_view line) {
    auto fields = Text::fields(line, ',');  // a missing column is an empty field and fails
    if (fields.size() < 3) return std::nullopt;
    auto label = fields[0];
    auto dot = label.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    auto pidText = label.substr(dot + 1);
    auto pid = decimal(pidText);
    if (!pid || *pid > static_cast<std::uint64_t>(INT32_MAX)) return std::nullopt;
    auto bytesIn = decimal(fields[1]);
    auto bytesOut = decimal(fields[2]);
    if (!bytesIn || !bytesOut) return std::nullopt;
    return ProcessTraffic{static_cast<std::int32_t>(*pid), std::string(label.substr(0, dot)), *bytesIn,
                          *bytesOut};
}

}  // namespace

std::vector<ProcessTraffic> parse(std::string_view output) {
    std::vector<std::vector<std::string_view>> samples;
    for (auto line : Text::lines(output)) {
        if (line.front() == ',' || line.starts_with("time")) {
            samples.emplace_back();
            continue;
        }
        if (samples.empty()) samples.emplace_back();
        samples.back().push_back(line);
    }
    if (samples.size() <= 1) return {};
    auto last =
        std::find_if(samples.rbegin(), samples.rend(), [](const auto& lines) { return !lines.empty(); });
    if (last == samples.rend()) return {};
    std::vector<ProcessTraffic> rows;
    for (auto line : *last)
        if (auto row = parseLine(line)) rows.push_back(std::move(*row));
    rank(rows);
    return rows;
}

}  // namespace tarvik::NetworkUsage
