#include "core/platform/macos/Nettop.hpp"
#include "Input.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto input = fuzz::text(data, size);
    auto rows = NetworkUsage::parse(input);
    // A row is "name.pid,in,out" on a line of its own.
    fuzz::require(rows.size() <= size / 6);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        fuzz::require(rows[i].pid >= 0);
        fuzz::require(rows[i].total() != 0);  // silent rows are dropped
        if (i > 0) fuzz::require(rows[i - 1].total() >= rows[i].total());
    }
    return 0;
}
