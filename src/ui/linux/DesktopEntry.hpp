#pragma once

#include <optional>
#include <string>
#include <string_view>

// Reading and writing freedesktop.org desktop entry files.
namespace tarvik::ui::DesktopEntry {

// The text of the entry file at `path`; nullopt unless it is a readable regular file of at most
// 1 MiB.
[[nodiscard]] std::optional<std::string> read(const std::string& path);

// The value of `key` in the [Desktop Entry] group, trimmed, escapes left as written; nullopt when
// the group or the key is absent. A localised key ("Name[de]") is another key.
[[nodiscard]] std::optional<std::string_view> value(std::string_view text, std::string_view key);

// `argument` written as one argument of an Exec value: in double quotes when it holds a reserved
// character, with '%' doubled and the string escapes applied on top of the quoting.
[[nodiscard]] std::string execArgument(std::string_view argument);

// Where an application that the desktop session activates over D-Bus listens.
struct BusApplication {
    std::string service;     // the desktop id: "org.gnome.TextEditor"
    std::string objectPath;  // "/org/gnome/TextEditor"
    bool operator==(const BusApplication&) const = default;
};

// The bus name and object path of the application whose entry file is at `path` with contents
// `text`; nullopt unless the entry says DBusActivatable=true and its file name (less ".desktop")
// is a valid well-known bus name.
[[nodiscard]] std::optional<BusApplication> busApplication(std::string_view path, std::string_view text);

}  // namespace tarvik::ui::DesktopEntry
