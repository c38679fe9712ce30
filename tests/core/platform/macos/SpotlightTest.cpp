#include "core/platform/macos/Spotlight.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace tarvik {
namespace {

using namespace StorageScanner;
using Kind = StorageItem::Kind;
using std::nullopt;

TEST(StorageScanner, ParsesMdlsPiecesAndSkipsUnreadableSizes) {
    const std::string home = "/Users/a";
    std::vector<std::string> paths{"/Users/a/Movies/film.mov", "/Users/a/Downloads/x.zip",
                                   "/Users/a/Library/Containers/com.docker.docker/Data/Docker.raw",
                                   "/Users/a/none"};
    std::string mdls = std::string("(null)\0 734003200\n\0", 19) +
                       std::string("2024-03-01 10:20:30 +0100\0abc\0", 30) +
                       std::string("2024-03-01 10:20:30 +0000\0 900\0", 31) + "2024-01-01 00:00:00 +0000";
    auto date = std::chrono::system_clock::from_time_t(1709288430);
    EXPECT_EQ(parseLargeFiles(paths, mdls, home),
              (std::vector<StorageItem>{
                  {paths[0], "film.mov", "~/Movies", 734003200, Kind::personal(), nullopt, true},
                  {paths[2], "Docker.raw", "~/Library/Containers/com.docker.docker/Data", 900,
                   Kind::appData("Docker"), date, true}}));
    EXPECT_EQ(parseMdlsDate("2024-03-01 11:20:30 +0100"), date);
    EXPECT_EQ(parseMdlsDate("(null)"), nullopt);
    EXPECT_EQ(parseMdlsDate("2200-01-01 00:00:00 +0000"), std::chrono::system_clock::from_time_t(7258118400));
    EXPECT_EQ(parseMdlsDate("9999-12-31 23:59:59 +0000"), nullopt) << "past what the clock holds";
    EXPECT_EQ(parseMdlsDate("1000-01-01 00:00:00 +0000"), nullopt) << "before what the clock holds";
}

}  // namespace
}  // namespace tarvik
