#include "Input.hpp"
#include "core/storage/StorageScanner.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto input = fuzz::text(data, size);
    auto sizes = StorageScanner::parseDu(input);
    // A row is "<KiB>\t<path>" on a line of its own.
    fuzz::require(sizes.size() <= size / 3 + 1);
    for (const auto& [path, bytes] : sizes) {
        fuzz::require(bytes % 1024 == 0);
        fuzz::require(!path.empty() && path.find('\t') == std::string::npos &&
                      path.find('\n') == std::string::npos);
    }
    return 0;
}
