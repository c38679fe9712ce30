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

namespace {

// Each column's width, 0 for a dropped one. The columns shown are those that fit at their
// minimum widths, the least kept dropped first; then the least kept are cut first, each down to its
// minimum, until the line fits.
std::vector<std::size_t> fittedWidths(const std::vector<std::size_t>& natural,
                                      const std::vector<TableColumn>& columns, std::size_t width) {
    const std::size_t count = natural.size();
    auto keepOf = [&](std::size_t c) { return c < columns.size() ? columns[c].keep : 0; };
    auto minimumOf = [&](std::size_t c) {
        std::size_t least = c < columns.size() ? columns[c].minWidth : 0;
        return least == 0 ? natural[c] : std::min(natural[c], least);
    };
    // Least kept first; of equals, the later column first.
    std::vector<std::size_t> order(count);
    for (std::size_t c = 0; c < count; ++c) order[c] = c;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return keepOf(a) != keepOf(b) ? keepOf(a) < keepOf(b) : a > b;
    });
    std::vector<std::size_t> widths = natural;
    auto used = [&] {
        std::size_t sum = 0, shown = 0;
        for (std::size_t w : widths)
            if (w > 0) sum += w, ++shown;
        return sum + (shown > 0 ? 2 * (shown - 1) : 0);
    };
    auto least = [&] {
        std::size_t sum = 0, shown = 0;
        for (std::size_t c = 0; c < count; ++c)
            if (widths[c] > 0) sum += minimumOf(c), ++shown;
        return sum + (shown > 0 ? 2 * (shown - 1) : 0);
    };
    std::size_t dropped = 0;
    for (; dropped + 1 < count && least() > width; ++dropped) widths[order[dropped]] = 0;
    // Rather than cut a more kept column to make room for the least kept one, that one goes when
    // the rest then fits whole.
    if (dropped + 1 < count) {
        std::size_t lowest = order[dropped], now = used();
        bool othersCut = now - (widths[lowest] - minimumOf(lowest)) > width;
        if (othersCut && now - widths[lowest] - 2 <= width) widths[lowest] = 0;
    }
    for (std::size_t c : order) {
        std::size_t now = used();
        if (now <= width) break;
        if (widths[c] > 0) widths[c] -= std::min(now - width, widths[c] - minimumOf(c));
    }
    if (std::size_t now = used(); now > width)  // one column left, and even its minimum is too wide
        for (std::size_t& w : widths)
            if (w > 0) w = width;
    return widths;
}

}  // namespace

FittedTable fittedTable(const std::vector<std::vector<std::string>>& rows,
                        const std::vector<TableColumn>& columns, std::optional<int> width) {
    std::vector<std::vector<std::string>> shown;
    std::vector<std::size_t> natural;
    for (const auto& row : rows) {
        auto& cells = shown.emplace_back();
        if (natural.size() < row.size()) natural.resize(row.size(), 0);
        for (std::size_t c = 0; c < row.size(); ++c) {
            cells.push_back(Unicode::visible(row[c]));
            natural[c] = std::max(natural[c], displayWidth(cells.back()));
        }
    }
    FittedTable table;
    table.widths =
        width ? fittedWidths(natural, columns, static_cast<std::size_t>(std::max(*width, 1))) : natural;
    std::size_t last = 0;
    for (std::size_t c = 0; c < table.widths.size(); ++c)
        if (table.widths[c] > 0) last = c;
    for (const auto& row : shown) {
        std::string line;
        bool first = true;
        for (std::size_t c = 0; c < row.size() && c <= last; ++c) {
            if (table.widths[c] == 0 && natural[c] > 0) continue;  // dropped
            if (!first) line += "  ";
            first = false;
            std::string cell = truncate(row[c], table.widths[c]);
            std::string padding(table.widths[c] - std::min(table.widths[c], displayWidth(cell)), ' ');
            bool right = c < columns.size() && columns[c].rightAligned;
            line += right ? padding + cell : c == last ? cell : cell + padding;
        }
        line.resize(Text::trimEnd(line, " ").size());
        table.lines.push_back(std::move(line));
    }
    return table;
}

std::string wrapped(std::string_view text, std::optional<int> width) {
    if (!width) return std::string(text) + "\n";
    const auto room = static_cast<std::size_t>(std::max(*width, 1));
    std::string out, line;
    for (auto word : Text::split(text, ' ')) {
        if (word.empty()) continue;
        std::string piece = truncate(word, room);
        if (!line.empty() && displayWidth(line) + 1 + displayWidth(piece) > room) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + piece;
    }
    return out + line + "\n";
}

}  // namespace tarvik::cli
