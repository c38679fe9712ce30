#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "core/support/Text.hpp"

namespace tarvik::cli {

// A present value, or JSON null for an absent one.
template <typename T>
nlohmann::ordered_json orNull(const std::optional<T>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

// A text, or JSON null where an empty text stands for nothing known.
inline nlohmann::ordered_json textOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

// Writes `json` indented, followed by a newline. A string that is not valid UTF-8 has its bad bytes
// replaced by U+FFFD instead of failing the whole output.
inline void printJson(std::ostream& out, const nlohmann::ordered_json& json) {
    out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// CLI11 reads a whole number in the base its prefix suggests ("010" as 8, "0x10" as 16). This reads
// decimal only, from `min` to `max` ("012" is 12), and hands the option the number rewritten
// plainly, so no later conversion picks a base. Give it to `transform`: `check` drops the rewrite.
// `meaning` starts the complaint ("takes a port").
inline CLI::Validator decimal(std::int64_t min, std::int64_t max, const std::string& meaning) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            auto value = Text::parseInt64(text);
            if (!value || *value < min || *value > max)
                return meaning + " from " + std::to_string(min) + " to " + std::to_string(max) +
                       " in decimal, not \"" + text + "\"";
            text = std::to_string(*value);
            return "";
        },
        "NUMBER");
}

// Accepts a number of seconds up to a minute: from 0 when `zeroAllowed`, else above 0. Only decimal
// text passes, which CLI11's own floating-point reading takes as decimal too.
inline CLI::Validator seconds(bool zeroAllowed) {
    return CLI::Validator(
        [zeroAllowed](const std::string& text) -> std::string {
            auto value = Text::parseDouble(text);
            bool fits = value && (zeroAllowed ? *value >= 0 : *value > 0) && *value <= 60;
            if (fits) return "";
            return (zeroAllowed ? "takes seconds from 0 to 60, not "
                                : "takes seconds above 0 up to 60, not ") +
                   text;
        },
        "SECONDS");
}

}  // namespace tarvik::cli
