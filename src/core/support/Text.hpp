#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Small text helpers shared by the lenient parsers. None of them throws.
namespace tarvik::Text {

// The lines of `text` split on '\n', empty lines dropped.
[[nodiscard]] std::vector<std::string_view> lines(std::string_view text);

// Pieces of `text` separated by runs of `separator`; empty pieces dropped.
[[nodiscard]] std::vector<std::string_view> split(std::string_view text, char separator);

// Every piece of `text` between single `separator`s, empty ones included: "a,,b" gives "a", "", "b"
// and "" gives one empty piece. For columns whose position carries their meaning.
[[nodiscard]] std::vector<std::string_view> fields(std::string_view text, char separator);

// What trimming removes: `blanks` within a line; `whitespace` also line ends, as C's isspace.
inline constexpr std::string_view blanks = " \t";
inline constexpr std::string_view whitespace = " \t\n\v\f\r";

// `text` without leading and trailing `characters`.
[[nodiscard]] std::string_view trim(std::string_view text, std::string_view characters = blanks);

// `text` without trailing `characters`.
[[nodiscard]] std::string_view trimEnd(std::string_view text, std::string_view characters = blanks);

// Takes one token: skips leading U+0020 spaces, then returns the characters up to the next space
// or the end and advances `rest` to what follows (its leading space included). nullopt when the
// text holds nothing but spaces.
[[nodiscard]] std::optional<std::string_view> nextToken(std::string_view& rest);

// Decimal integers with an optional leading '+' or '-'; the whole text must be the number and fit
// the type (an unsigned type rejects '-').
[[nodiscard]] std::optional<std::int32_t> parseInt32(std::string_view text);
[[nodiscard]] std::optional<std::int64_t> parseInt64(std::string_view text);
[[nodiscard]] std::optional<std::uint64_t> parseUInt64(std::string_view text);

// A finite decimal floating-point number ("1.5", "-2", "1e3"); the whole text must be the number.
[[nodiscard]] std::optional<double> parseDouble(std::string_view text);

// The part after the last '/', or the whole text when there is none.
[[nodiscard]] std::string_view lastPathComponent(std::string_view path);

[[nodiscard]] std::string lowercased(std::string_view text);

// `text` with each "{}" replaced, in order, by one of `names`; a "{}" beyond the names is dropped.
[[nodiscard]] std::string filled(std::string_view text, const std::vector<std::string>& names);

// Rounds half away from zero, as every user-facing number is rounded.
[[nodiscard]] double roundHalfAwayFromZero(double value);

// Rounds to `decimals` places, halves away from zero.
[[nodiscard]] double roundTo(double value, int decimals);

// One argument quoted for a POSIX shell only when it needs it: "server.js" stays, "a b" reads 'a b',
// and a single quote becomes '\''. For showing an argv so that its arguments can be told apart.
[[nodiscard]] std::string shellQuoted(std::string_view argument);

// The arguments, each shell-quoted when it needs it, joined by spaces.
[[nodiscard]] std::string quotedCommand(const std::vector<std::string>& argv);

// Replaces every invalid UTF-8 sequence with U+FFFD.
[[nodiscard]] std::string repairUtf8(std::string_view bytes);

}  // namespace tarvik::Text
