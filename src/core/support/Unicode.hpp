#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Unicode-aware text operations over UTF-8, through the C library's UTF-8 character classes.
namespace tarvik::Unicode {

// Lower-cased, keeping only letters and numbers of any script: "My-App", "my_app" and "MyApp"
// all give "myapp"; "Café 2" gives "café2".
[[nodiscard]] std::string lettersAndNumbersLowercased(std::string_view text);

// A case-insensitive comparison in the user's collation order (the environment's locale, or
// code point order where it has none): negative, zero or positive.
[[nodiscard]] int compareCaseInsensitive(std::string_view a, std::string_view b);

// `text` made safe to show on a terminal: decoded as UTF-8 with repair, and every control
// character (C0, DEL, C1) written as a visible escape ("\\e" for ESC, "\\n", "\\t", else "\\xNN"
// or "\\u0085"), so that a name can neither move the cursor, set the title nor split a line.
[[nodiscard]] std::string visible(std::string_view text);

// Terminal columns of UTF-8 text: wide (East Asian) characters take two, combining marks none.
[[nodiscard]] std::size_t displayWidth(std::string_view text);

// `text` cut to `width` columns with "…" as its last column when it was longer.
[[nodiscard]] std::string truncate(std::string_view text, std::size_t width);

}  // namespace tarvik::Unicode
