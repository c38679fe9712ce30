#include "Input.hpp"
#include "core/processes/EnrichmentParser.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto input = fuzz::text(data, size);
    auto rows = EnrichmentParser::parseProcessInfo(input);
    // A row takes a line of at least a pid and an rss, and keeps a piece of that line.
    fuzz::require(rows.size() <= size / 4 + 1);
    for (const auto& [pid, info] : rows) {
        fuzz::require(info.args.size() <= size);
        fuzz::require(info.args.find('\n') == std::string::npos);
        fuzz::require(info.cpuPercent.has_value() == info.uptimeSeconds.has_value());
        if (info.uptimeSeconds) fuzz::require(*info.uptimeSeconds >= 0);
    }
    return 0;
}
