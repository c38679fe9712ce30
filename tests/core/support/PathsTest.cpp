#include "core/support/Paths.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace tarvik {
namespace {

TEST(Paths, DropsTrailingSlashesButKeepsTheRoot) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"/home/al///", "/home/al"}, {"/home/al", "/home/al"}, {"///", "/"}, {"", ""}};
    for (const auto& [path, stripped] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Paths::withoutTrailingSlashes(path), stripped);
    }
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
    for (const auto& [path, home, shown] : cases) {
        SCOPED_TRACE(std::string(path) + " in " + std::string(home));
        EXPECT_EQ(Paths::abbreviatingHome(path, home), shown);
    }
}

TEST(Paths, ExpandsOnlyALeadingTildeSlash) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"~/x", "/home/al/x"}, {"~", "~"}, {"~al/x", "~al/x"}, {"/opt/~/x", "/opt/~/x"}, {"x", "x"},
    };
    for (const auto& [path, expanded] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Paths::expandingHome(path, "/home/al"), expanded);
    }
}

TEST(Paths, UserAreasAreTheHomeFoldersAndWhatLiesStrictlyInsideTheHome) {
    const std::tuple<std::string_view, std::string_view, bool> cases[] = {
        {"/home/bo/x", "/srv/al", true},  {"/Users/bo/x", "/srv/al", true},
        {"/srv/al/x", "/srv/al/", true},  {"/srv/al", "/srv/al", false},
        {"/srv/alice", "/srv/al", false}, {"/homework/x", "/srv/al", false},
        {"/srv/x", "/", false},           {"/srv/x", "", false},
    };
    for (const auto& [path, home, inside] : cases) {
        SCOPED_TRACE(std::string(path) + " in " + std::string(home));
        EXPECT_EQ(Paths::isUserArea(path, home), inside);
    }
}

}  // namespace
}  // namespace tarvik
