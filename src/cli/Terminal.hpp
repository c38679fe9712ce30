#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::cli {

// Facts about where the output goes.
struct Terminal {
    bool colour = false;       // ANSI colour is welcome
    std::optional<int> width;  // columns; nullopt when unknown (a pipe without $COLUMNS)

    // The standard output's terminal: colour only on a tty without NO_COLOR; the width from the tty,
    // else $COLUMNS.
    [[nodiscard]] static Terminal of(std::FILE* stream);
};

// Rows of cells aligned in columns separated by two spaces; `rightAligned` columns pad on the left.
// The last column is never padded and is cut to the terminal width when one is known. Every cell is
// shown through Unicode::visible, and widths count terminal columns.
[[nodiscard]] std::string alignedTable(const std::vector<std::vector<std::string>>& rows,
                                       const std::vector<bool>& rightAligned, std::optional<int> width);

}  // namespace tarvik::cli
