#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Sizes as other programs print them, read into bytes. None of them throws.
namespace tarvik::ByteUnits {

// A number followed by its unit: "512K", "1.5GiB", "12MB", "3 kB", "0B".
// - The number is a decimal ("12", "1.5", "1e3") and not negative. Blanks may stand between it and
//   the unit; whitespace around the whole text, line ends included, is ignored.
// - The units, in any letter case: "B" counts bytes; "K", "KiB", "M", "MiB", "G", "GiB" count
//   powers of 1024; "kB", "MB", "GB", "TB", "PB" count powers of 1000. A bare number or any other
//   unit ("T", "TiB", "KBytes") is not read.
// - A fraction of a byte is dropped: "0.5B" reads as 0.
// nullopt when the text has another form or the bytes do not fit 64 bits.
[[nodiscard]] std::optional<std::uint64_t> parse(std::string_view text);

// A whole number of KiB without a unit, as du -k, ps and /proc print sizes, in bytes. Whitespace
// around it is ignored; nullopt when it is not a non-negative integer or the bytes do not fit
// 64 bits.
[[nodiscard]] std::optional<std::uint64_t> parseKibibytes(std::string_view count);

}  // namespace tarvik::ByteUnits
