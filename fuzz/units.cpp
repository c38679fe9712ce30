#include <cmath>
#include <string>

#include "Input.hpp"
#include "core/platform/macos/GpuClients.hpp"
#include "core/support/ByteUnits.hpp"
#include "core/support/CPUTime.hpp"
#include "core/support/ElapsedTime.hpp"
#include "core/support/Text.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned choice = 0;
    std::string_view input;
    if (!fuzz::select(fuzz::text(data, size), 10, choice, input)) return 0;
    switch (choice) {
        case 0:
            // '-' only separates the days, so no piece and no total is negative.
            if (auto seconds = ElapsedTime::parse(input)) fuzz::require(*seconds >= 0);
            break;
        case 1:
            if (auto seconds = CPUTime::parse(input)) fuzz::require(std::isfinite(*seconds));
            break;
        case 2:
            (void)ByteUnits::parse(input);
            break;
        case 3:
            if (auto bytes = ByteUnits::parseKibibytes(input)) fuzz::require(*bytes % 1024 == 0);
            break;
        case 4:
            if (auto value = Text::parseInt32(input)) {
                fuzz::require(Text::parseInt64(input) == *value);
                fuzz::require(Text::parseInt32(std::to_string(*value)) == value);
            }
            break;
        case 5:
            if (auto value = Text::parseInt64(input))
                fuzz::require(Text::parseInt64(std::to_string(*value)) == value);
            break;
        case 6:
            if (auto value = Text::parseUInt64(input))
                fuzz::require(Text::parseUInt64(std::to_string(*value)) == value);
            break;
        case 7:
            if (auto value = Text::parseDouble(input)) fuzz::require(std::isfinite(*value));
            break;
        case 8: {
            auto repaired = Text::repairUtf8(input);
            fuzz::require(fuzz::isUtf8(repaired));
            // Valid text passes unchanged, and each bad byte becomes one three-byte U+FFFD.
            if (fuzz::isUtf8(input)) fuzz::require(repaired == input);
            fuzz::require(repaired.size() <= 3 * input.size());
            fuzz::require(Text::repairUtf8(repaired) == repaired);
            break;
        }
        case 9:
            (void)GPUUsage::creator(input);
            break;
    }
    return 0;
}
