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

// How a column of a fitted table gives way when the lines would be wider than the terminal.
struct TableColumn {
    bool rightAligned = false;
    int keep = 0;              // the columns with the lowest `keep` are cut first and dropped first
    std::size_t minWidth = 0;  // cut to no fewer columns than this; 0: never cut, only dropped
};

struct FittedTable {
    std::vector<std::string> lines;   // one per row, without line ends
    std::vector<std::size_t> widths;  // each column's width as shown; 0 for a dropped column
};

// Rows of cells (the header first) aligned in columns separated by two spaces, every cell shown
// through Unicode::visible. With a width, no line is wider in terminal columns: the least kept
// columns are dropped while the others do not fit even at their minimum widths (and the least kept
// left is dropped too when it would force a cut on a more kept one and the rest then fits whole),
// then the least kept are cut first (a cut cell ends in "…"), each down to its minimum. The last column shown
// is never padded; a single column left that is still too wide is cut to the width. Without a width nothing
// is cut.
[[nodiscard]] FittedTable fittedTable(const std::vector<std::vector<std::string>>& rows,
                                      const std::vector<TableColumn>& columns, std::optional<int> width);

// `text` broken at spaces into lines of at most `width` columns (a longer word is cut with "…"),
// each ending in a line end; unchanged but for the line end without a width.
[[nodiscard]] std::string wrapped(std::string_view text, std::optional<int> width);

}  // namespace tarvik::cli
