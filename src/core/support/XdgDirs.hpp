#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// The XDG base folders and user folders, with the fallbacks every reader of them agrees on.
namespace tarvik::XdgDirs {

// An environment variable's value, nullopt when unset.
using Lookup = std::function<std::optional<std::string>(std::string_view name)>;

// The process's own environment.
[[nodiscard]] Lookup processEnvironment();

// The base folders, absolute and without trailing slashes.
struct BaseDirs {
    std::string cache;                   // $XDG_CACHE_HOME, else home/.cache
    std::string data;                    // $XDG_DATA_HOME, else home/.local/share (the Trash lives there)
    std::string config;                  // $XDG_CONFIG_HOME, else home/.config
    std::string state;                   // $XDG_STATE_HOME, else home/.local/state
    std::optional<std::string> runtime;  // $XDG_RUNTIME_DIR; no fallback
    bool operator==(const BaseDirs&) const = default;
};

// The base folders for `home` as `environment` sets them. A relative or empty value counts as
// unset, as XDG readers ignore it.
[[nodiscard]] BaseDirs of(const std::string& home, const Lookup& environment);
// The same with the process's environment.
[[nodiscard]] BaseDirs of(const std::string& home);

// The user folders of a user-dirs.dirs file ("XDG_DOWNLOAD_DIR" -> absolute path): only lines of
// the form NAME="$HOME/..." or NAME="/...", as the file's own rules allow; "$HOME" becomes `home`.
[[nodiscard]] std::map<std::string, std::string> parseUserDirs(std::string_view text, std::string_view home);

// The user folder named `name` ("XDG_DOWNLOAD_DIR") from config/user-dirs.dirs, else
// home/`fallback`. Reads at most 64 KiB of the file.
[[nodiscard]] std::string userDir(const BaseDirs& dirs, const std::string& home, std::string_view name,
                                  std::string_view fallback);

}  // namespace tarvik::XdgDirs
