#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/support/XdgDirs.hpp"

namespace tarvik::test {

// An environment holding only `values`, for code that takes its environment as a lookup.
inline XdgDirs::Lookup fakeEnvironment(std::map<std::string, std::string, std::less<>> values = {}) {
    return [values = std::move(values)](std::string_view name) -> std::optional<std::string> {
        auto found = values.find(name);
        if (found == values.end()) return std::nullopt;
        return found->second;
    };
}

// The XDG folders of `home` with nothing set, whatever the test's own environment says.
inline XdgDirs::BaseDirs plainDirs(const std::string& home) {
    return XdgDirs::of(home, fakeEnvironment());
}

}  // namespace tarvik::test
