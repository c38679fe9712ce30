#pragma once

#include <string>
#include <string_view>

namespace tarvik::Paths {

// `path` without trailing slashes, except that "/" stays "/".
[[nodiscard]] std::string_view withoutTrailingSlashes(std::string_view path);

// The user's home folder without a trailing slash: $HOME, else the password database, else "/".
[[nodiscard]] const std::string& homeDirectory();

// `path` with a leading `home` written "~": with home "/home/al", "/home/al" gives "~" and
// "/home/al/x" gives "~/x". Only whole folder names match, so "/home/alice" stays as it is; an empty
// or root home shortens nothing.
[[nodiscard]] std::string abbreviatingHome(std::string_view path, std::string_view home);

// `path` with a leading "~/" replaced by `home` and its slash; any other path as it is.
[[nodiscard]] std::string expandingHome(std::string_view path, std::string_view home);

// True when `path` lies in a user's area: under "/home/", under "/Users/", or under `home` + "/".
[[nodiscard]] bool isUserArea(std::string_view path, std::string_view home);

}  // namespace tarvik::Paths
