#pragma once

#include <string>
#include <string_view>

namespace tarvik::Paths {

// `path` without trailing slashes, except that "/" stays "/".
[[nodiscard]] std::string_view withoutTrailingSlashes(std::string_view path);

// The user's home folder without a trailing slash: $HOME, else the password database, else "/".
[[nodiscard]] const std::string& homeDirectory();

// True when `path` lies in a user's area: under "/home/", under "/Users/", or under `home` + "/".
[[nodiscard]] bool isUserArea(std::string_view path, std::string_view home);

}  // namespace tarvik::Paths
