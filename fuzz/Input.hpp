#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// What the harnesses share: the input as text, a parser picked by the first byte, and the checks
// that stop the run on a broken promise.
namespace tarvik::fuzz {

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The first byte picks one of `choices` parsers and the rest is its input; false for no input.
inline bool select(std::string_view input, unsigned choices, unsigned& choice, std::string_view& rest) {
    if (input.empty()) return false;
    choice = static_cast<unsigned char>(input.front()) % choices;
    rest = input.substr(1);
    return true;
}

// Stops the run where the fault is, so that libFuzzer keeps the input.
inline void require(bool condition) {
    if (!condition) __builtin_trap();
}

// Well-formed UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
inline bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        unsigned char lead = byte(i);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((byte(i + k) & 0xC0) != 0x80) return false;
        if (length >= 3) {
            unsigned char second = byte(i + 1);
            if (lead == 0xE0 && second < 0xA0) return false;  // overlong
            if (lead == 0xED && second > 0x9F) return false;  // surrogate
            if (lead == 0xF0 && second < 0x90) return false;  // overlong
            if (lead == 0xF4 && second > 0x8F) return false;  // past U+10FFFF
        }
        i += length;
    }
    return true;
}

}  // namespace tarvik::fuzz
