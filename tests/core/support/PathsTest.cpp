#include "core/support/Paths.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(Paths, DropsTrailingSlashesButKeepsTheRoot) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"/home/al/", "/home/al"},
        {"/home/al///", "/home/al"},
        {"/home/al", "/home/al"},
        {"/", "/"},
        {"///", "/"},
        {"", ""},
    };
    for (const auto& [path, stripped] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Paths::withoutTrailingSlashes(path), stripped);
    }
}

}  // namespace
}  // namespace tarvik
