#include <string>
#include <vector>

#include "Input.hpp"
#include "core/platform/macos/Spotlight.hpp"

using namespace tarvik;

// The first byte says how many of the lines that follow are the paths mdfind found; the rest is
// what mdls printed for them.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto input = fuzz::text(data, size);
    if (input.empty()) return 0;
    std::size_t count = static_cast<unsigned char>(input.front()) % 8;
    input.remove_prefix(1);
    std::vector<std::string> paths;
    while (paths.size() < count) {
        auto end = input.find('\n');
        if (end == std::string_view::npos) return 0;
        paths.emplace_back(input.substr(0, end));
        input.remove_prefix(end + 1);
    }
    auto items = StorageScanner::parseLargeFiles(paths, input, "/Users/me");
    fuzz::require(items.size() <= paths.size());
    for (std::size_t i = 1; i < items.size(); ++i) fuzz::require(items[i - 1].bytes >= items[i].bytes);
    // The first piece, read alone as a date.
    (void)StorageScanner::parseMdlsDate(input.substr(0, input.find('\0')));
    return 0;
}
