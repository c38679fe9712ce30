#include <cmath>

#include "Input.hpp"
#include "core/platform/macos/SystemTable.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned choice = 0;
    std::string_view input;
    if (!fuzz::select(fuzz::text(data, size), 2, choice, input)) return 0;
    // Every row takes a line of its own with at least a pid and one more field.
    if (choice == 0) {
        auto rows = SystemTable::parsePs(input);
        fuzz::require(rows.size() <= input.size() / 8 + 1);
        for (const auto& [pid, row] : rows) {
            fuzz::require(std::isfinite(row.cpuSeconds));
            fuzz::require(row.rssBytes % 1024 == 0);  // ps counts KiB
        }
    } else {
        auto rows = SystemTable::parseTop(input);
        fuzz::require(rows.size() <= input.size() / 3 + 1);
    }
    return 0;
}
