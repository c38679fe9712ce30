#include "core/support/ProcessNames.hpp"

#include <algorithm>

#include "core/support/Text.hpp"

namespace tarvik::ProcessNames {

bool isVersionedInterpreter(std::string_view name) {
    auto isNumber = [](std::string_view piece) {
        return !piece.empty() && std::ranges::all_of(piece, [](char c) { return c >= '0' && c <= '9'; });
    };
    for (std::string_view stem : {"python", "ruby", "php"})
        if (name.starts_with(stem))
            return std::ranges::all_of(Text::fields(name.substr(stem.size()), '.'), isNumber);
    return false;
}

bool isKernelThread(std::string_view name) {
    return name.size() > 2 && name.front() == '[' && name.back() == ']';
}

}  // namespace tarvik::ProcessNames
