#include "ui/linux/DesktopEntry.hpp"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "core/support/Text.hpp"

namespace tarvik::ui::DesktopEntry {

namespace {

bool isReserved(char c) {
    return std::string_view(" \t\n\"'\\><~|&;$*?#`()").find(c) != std::string_view::npos;
}

// D-Bus well-known names: two or more dot-separated elements of [A-Za-z0-9_-], none empty or
// starting with a digit, 255 characters at most.
bool isBusName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name.find('.') == std::string_view::npos) return false;
    for (std::string_view element : Text::fields(name, '.')) {
        if (element.empty() || (element[0] >= '0' && element[0] <= '9')) return false;
        bool valid = std::all_of(element.begin(), element.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                   c == '-';
        });
        if (!valid) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> read(const std::string& path) {
    QString local = QFile::decodeName(QByteArray::fromStdString(path));
    // A fifo or a device would block or never end; entries are a few kilobytes.
    constexpr qint64 limit = 1 << 20;
    QFileInfo info(local);
    if (!info.isFile() || info.size() > limit) return std::nullopt;
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.read(limit).toStdString();
}

std::optional<std::string_view> value(std::string_view text, std::string_view key) {
    bool inEntry = false;
    for (std::string_view rawLine : Text::lines(text)) {
        std::string_view line = Text::trim(Text::trimEnd(rawLine, "\r"));
        if (line.starts_with('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry || line.starts_with('#')) continue;
        auto equals = line.find('=');
        if (equals == std::string_view::npos || Text::trim(line.substr(0, equals)) != key) continue;
        return Text::trim(line.substr(equals + 1));
    }
    return std::nullopt;
}

std::string execArgument(std::string_view argument) {
    bool quote = argument.empty() || std::any_of(argument.begin(), argument.end(), isReserved);
    std::string quoted = quote ? "\"" : "";
    for (char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted += '\\';
        quoted += c;
        if (c == '%') quoted += '%';  // a lone '%' starts a field code
    }
    if (quote) quoted += '"';
    // The quoting rule applies to the value after its string escapes are undone, so a backslash
    // that quoting wrote is escaped once more.
    std::string escaped;
    for (char c : quoted) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::optional<BusApplication> busApplication(std::string_view path, std::string_view text) {
    std::string_view id = Text::lastPathComponent(path);
    if (!id.ends_with(".desktop") || value(text, "DBusActivatable") != "true") return std::nullopt;
    id.remove_suffix(8);
    if (!isBusName(id)) return std::nullopt;
    std::string objectPath = "/" + std::string(id);
    std::replace(objectPath.begin(), objectPath.end(), '.', '/');
    std::replace(objectPath.begin(), objectPath.end(), '-', '_');
    return BusApplication{std::string(id), objectPath};
}

}  // namespace tarvik::ui::DesktopEntry
