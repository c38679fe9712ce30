#pragma once

#include <string>
#include <string_view>
#include <vector>

// The one point every user-facing sentence passes through. The texts are written naming the Mac;
// on other platforms "Mac" reads "computer" ("Computer" at the start), "macOS" reads "Linux" and
// "Finder" reads "Files", whole words only.
namespace tarvik::Words {

enum class Platform { macOS, Linux };

// The platform this build's backend serves (fixed at configure time).
[[nodiscard]] Platform current();

// `text` worded for `platform`.
[[nodiscard]] std::string forPlatform(std::string_view text, Platform platform);

// `text` worded for the current platform.
[[nodiscard]] std::string text(std::string_view text);

// The fixed `text` worded for the current platform, then each "{}" in it replaced, in order, by one
// of `names`. Names are inserted as they are: an app called "Mac" stays "Mac".
[[nodiscard]] std::string filled(std::string_view text, const std::vector<std::string>& names);

// A sentence that only makes sense on the Mac, with its replacement of the same purpose elsewhere.
[[nodiscard]] std::string choose(std::string_view macText, std::string_view otherText);

}  // namespace tarvik::Words
