#include "Input.hpp"
#include "core/platform/linux/Sensors.hpp"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto input = fuzz::text(data, size);
    if (auto client = GPUUsage::parseFdinfo(input)) {
        // The id joins two values of the text with a space.
        fuzz::require(client->id.size() <= size);
        fuzz::require(client->id.find('\n') == std::string::npos);
    }
    return 0;
}
