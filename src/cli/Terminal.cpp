#include "cli/Terminal.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "core/support/Text.hpp"
#include "core/support/Unicode.hpp"

namespace tarvik::cli {

using Unicode::displayWidth;
using Unicode::truncate;

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

std::string alignedTable(const std::vector<std::vector<std::string>>& rows,
                         const std::vector<bool>& rightAligned, std::optional<int> width) {
    // Every cell may hold a name from the system; none reaches the terminal with a control character.
    std::vector<std::vector<std::string>> shown;
    shown.reserve(rows.size());
    for (const auto& row : rows) {
        auto& cells = shown.emplace_back();
        for (const auto& cell : row) cells.push_back(Unicode::visible(cell));
    }
    std::vector<std::size_t> widths;
    for (const auto& row : shown) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], displayWidth(row[column]));
    }
    std::string out;
    for (const auto& row : shown) {
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
