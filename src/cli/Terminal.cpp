#include "cli/Terminal.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "core/support/Text.hpp"

namespace tarvik::cli {

Terminal Terminal::of(std::FILE* stream) {
    Terminal terminal;
    int fd = fileno(stream);
    bool tty = fd >= 0 && isatty(fd);
    const char* noColour = std::getenv("NO_COLOR");
    terminal.colour = tty && !(noColour && *noColour);
    winsize size{};
    if (tty && ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        terminal.width = size.ws_col;
    } else if (const char* columns = std::getenv("COLUMNS")) {
        if (auto value = Text::parseInt32(columns); value && *value > 0) terminal.width = *value;
    }
    return terminal;
}

std::size_t displayWidth(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string truncate(std::string_view text, std::size_t width) {
    if (displayWidth(text) <= width) return std::string(text);
    if (width == 0) return {};
    std::string out;
    std::size_t columns = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && ++columns > width - 1) break;
        out += text[i];
    }
    return out + "…";
}

std::string alignedTable(const std::vector<std::vector<std::string>>& rows,
                         const std::vector<bool>& rightAligned, std::optional<int> width) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], displayWidth(row[column]));
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            const std::string& cell = row[column];
            bool last = column + 1 == row.size();
            if (column > 0) line += "  ";
            if (last) {
                std::size_t used = displayWidth(line);
                if (width && static_cast<std::size_t>(*width) > used)
                    line += truncate(cell, static_cast<std::size_t>(*width) - used);
                else if (!width)
                    line += cell;
                break;
            }
            std::string padding(widths[column] - displayWidth(cell), ' ');
            bool right = column < rightAligned.size() && rightAligned[column];
            line += right ? padding + cell : cell + padding;
        }
        line.resize(Text::trimEnd(line, " ").size());
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace tarvik::cli
