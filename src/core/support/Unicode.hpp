#pragma once

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

}  // namespace tarvik::Unicode
