#include "core/support/Unicode.hpp"
#include "Input.hpp"

using namespace tarvik;

namespace {

// C0 and DEL as bytes, C1 as their two-byte UTF-8 forms.
bool holdsControl(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) return true;
        if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unsigned choice = 0;
    std::string_view input;
    if (!fuzz::select(fuzz::text(data, size), 3, choice, input)) return 0;
    switch (choice) {
        case 0: {
            auto shown = Unicode::visible(input);
            fuzz::require(fuzz::isUtf8(shown));
            fuzz::require(!holdsControl(shown));
            break;
        }
        case 1: {
            // The first byte is the width to cut to.
            if (input.empty()) break;
            std::size_t width = static_cast<unsigned char>(input.front()) % 16;
            input.remove_prefix(1);
            auto cut = Unicode::truncate(input, width);
            fuzz::require(Unicode::displayWidth(cut) <= width || cut == input);
            if (Unicode::displayWidth(input) <= width) fuzz::require(cut == input);
            break;
        }
        case 2: {
            auto kept = Unicode::lettersAndNumbersLowercased(input);
            fuzz::require(fuzz::isUtf8(kept));
            break;
        }
    }
    return 0;
}
