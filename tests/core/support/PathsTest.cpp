#include "core/support/Paths.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace tarvik {
namespace {

TEST(Paths, DropsTrailingSlashesButKeepsTheRoot) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"/home/al///", "/home/al"}, {"/home/al", "/home/al"}, {"///", "/"}, {"", ""}};
    for (const auto& [path, stripped] : cases)
        EXPECT_EQ(Paths::withoutTrailingSlashes(path), stripped) << path;
}

TEST(Paths, AbbreviatesTheHomeOnlyAtAFolderBoundary) {
    const std::tuple<std::string_view, std::string_view, std::string_view> cases[] = {
        {"/home/al", "/home/al", "~"},
        {"/home/al/x", "/home/al", "~/x"},
        {"/home/al/shop/src", "/home/al/", "~/shop/src"},
        {"/home/alice/shop", "/home/al", "/home/alice/shop"},
        {"/srv/home/al/x", "/home/al", "/srv/home/al/x"},
        {"/srv/app", "", "/srv/app"},
        {"/srv/app", "/", "/srv/app"},
        {"", "/home/al", ""}};
    for (const auto& [path, home, shown] : cases)
        EXPECT_EQ(Paths::abbreviatingHome(path, home), shown) << path << " in " << home;
}

TEST(Paths, ExpandsOnlyALeadingTildeSlash) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"~/x", "/home/al/x"}, {"~", "~"}, {"~al/x", "~al/x"}, {"/opt/~/x", "/opt/~/x"}, {"x", "x"},
    };
    for (const auto& [path, expanded] : cases)
        EXPECT_EQ(Paths::expandingHome(path, "/home/al"), expanded) << path;
}

TEST(Paths, UserAreasAreTheHomeFoldersAndWhatLiesStrictlyInsideTheHome) {
    const std::tuple<std::string_view, std::string_view, bool> cases[] = {
        {"/home/bo/x", "/srv/al", true},  {"/Users/bo/x", "/srv/al", true},
        {"/srv/al/x", "/srv/al/", true},  {"/srv/al", "/srv/al", false},
        {"/srv/alice", "/srv/al", false}, {"/homework/x", "/srv/al", false},
        {"/srv/x", "/", false},           {"/srv/x", "", false},
    };
    for (const auto& [path, home, inside] : cases)
        EXPECT_EQ(Paths::isUserArea(path, home), inside) << path << " in " << home;
}

}  // namespace
}  // namespace tarvik
