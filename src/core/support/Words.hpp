#pragma once

#include <string>
#include <string_view>

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

// A sentence that only makes sense on the Mac, with its replacement of the same purpose elsewhere.
[[nodiscard]] std::string choose(std::string_view macText, std::string_view otherText);

}  // namespace tarvik::Words
