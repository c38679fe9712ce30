#include "core/support/Text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace tarvik::Text {

std::vector<std::string_view> lines(std::string_view text) {
    return split(text, '\n');
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::vector<std::string_view> fields(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return pieces;
        start = end + 1;
    }
}

std::string_view trim(std::string_view text, std::string_view characters) {
    std::size_t first = text.find_first_not_of(characters);
    if (first == std::string_view::npos) return text.substr(text.size());
    return trimEnd(text.substr(first), characters);
}

std::string_view trimEnd(std::string_view text, std::string_view characters) {
    std::size_t last = text.find_last_not_of(characters);
    return text.substr(0, last == std::string_view::npos ? 0 : last + 1);
}

std::optional<std::string_view> nextToken(std::string_view& rest) {
    std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        rest = {};
        return std::nullopt;
    }
    std::size_t end = rest.find(' ', start);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view token = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return token;
}

namespace {

template <typename Int>
std::optional<Int> parseInteger(std::string_view text) {
    if (text.empty()) return std::nullopt;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
        if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
    }
    if (negative && std::numeric_limits<Int>::is_signed == false) {
        // "-0" is still zero; anything else does not fit an unsigned type.
        if (text.find_first_not_of('0') != std::string_view::npos) return std::nullopt;
    }
    Int value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (negative) {
        if constexpr (std::numeric_limits<Int>::is_signed) {
            if (value == std::numeric_limits<Int>::min()) return std::nullopt;
            return static_cast<Int>(-value);
        }
    }
    return value;
}

}  // namespace

std::optional<std::int32_t> parseInt32(std::string_view text) {
    // Parsed through 64 bits so that "-2147483648" reads although its magnitude overflows int32.
    auto wide = parseInteger<std::int64_t>(text);
    if (!wide || *wide < std::numeric_limits<std::int32_t>::min() ||
        *wide > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*wide);
}

std::optional<std::int64_t> parseInt64(std::string_view text) {
    return parseInteger<std::int64_t>(text);
}

std::optional<std::uint64_t> parseUInt64(std::string_view text) {
    return parseInteger<std::uint64_t>(text);
}

std::optional<double> parseDouble(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string_view lastPathComponent(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string filled(std::string_view text, const std::vector<std::string>& names) {
    std::string out;
    std::size_t next = 0, from = 0;
    for (std::size_t at = text.find("{}"); at != std::string_view::npos; at = text.find("{}", from)) {
        out.append(text, from, at - from);
        if (next < names.size()) out += names[next++];
        from = at + 2;
    }
    out.append(text, from);
    return out;
}

std::string lowercased(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

double roundHalfAwayFromZero(double value) {
    return std::round(value);  // std::round already rounds halves away from zero
}

double roundTo(double value, int decimals) {
    double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

std::string repairUtf8(std::string_view bytes) {
    static constexpr std::string_view replacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    while (i < bytes.size()) {
        unsigned char lead = byteAt(i);
        std::size_t length = 0;
        std::uint32_t minimum = 0;
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, minimum = 0x10000;
        }
        bool valid = length > 0 && i + length <= bytes.size();
        std::uint32_t codePoint = valid ? lead & (0xFFu >> (length + 1)) : 0;
        for (std::size_t k = 1; valid && k < length; ++k) {
            unsigned char next = byteAt(i + k);
            if ((next & 0xC0) != 0x80) valid = false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (valid &&
            (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)))
            valid = false;
        if (valid) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out.append(replacement);
            ++i;  // resynchronise on the next byte
        }
    }
    return out;
}

std::string shellQuoted(std::string_view argument) {
    if (argument.empty()) return "''";
    auto isPlain = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("@%+=:,./-_").find(c) != std::string_view::npos ||
               static_cast<unsigned char>(c) >= 0x80;  // UTF-8 letters need no quoting
    };
    if (std::all_of(argument.begin(), argument.end(), isPlain)) return std::string(argument);
    std::string quoted = "'";
    for (char c : argument) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::string quotedCommand(const std::vector<std::string>& argv) {
    std::string line;
    for (const auto& argument : argv) {
        if (!line.empty()) line += ' ';
        line += shellQuoted(argument);
    }
    return line;
}

}  // namespace tarvik::Text
