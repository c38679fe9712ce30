// What the macOS tools print, as their parsers read it.
#include "core/platform/macos/GpuClients.hpp"
#include "core/platform/macos/Nettop.hpp"
#include "core/platform/macos/Spotlight.hpp"
#include "core/platform/macos/SystemTable.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>
#include <utility>

namespace tarvik {
namespace {

TEST(NetworkUsageParse, ReadsTheIntervalSample) {
    const std::tuple<const char*, const char*, std::vector<ProcessTraffic>> cases[] = {
        {"second block only",
         ",bytes_in,bytes_out,\nMail.812,5000,6000,\nSafari.90,1,1,\n"
         ",bytes_in,bytes_out,\nMail.812,1024,0,\nSafari.90,10,20,\n",
         {{812, "Mail", 1024, 0}, {90, "Safari", 10, 20}}},
        {"a dotted name keeps its dots",
         "time,bytes_in,bytes_out\nx.1,1,1\ntime,bytes_in,bytes_out\ncom.apple.WebKit.Networking.977,10,20\n",
         {{977, "com.apple.WebKit.Networking", 10, 20}}},
        {"silent, unlabelled and malformed rows dropped",
         ",a,b\n,a,b\nidle.5,0,0,\nnopid,10,10\nbad.x1,3,3\nshort.7,9\nempty.8,,4\nok.9,1,2\n",
         {{9, "ok", 1, 2}}},
        {"heaviest first, equal totals in order",
         ",\n,\na.1,1,1\nb.2,5,5\nc.3,2,0\n",
         {{2, "b", 5, 5}, {1, "a", 1, 1}, {3, "c", 2, 0}}},
        {"one sample is empty", ",bytes_in,bytes_out,\nMail.812,1024,0,\n", {}},
        {"the last non-empty sample when the last header has no rows",
         ",\na.1,1,0\n,\nb.2,2,0\n,\n",
         {{2, "b", 2, 0}}}};
    for (const auto& [what, output, expected] : cases)
        EXPECT_EQ(NetworkUsage::parse(output), expected) << what;
}

TEST(GPUUsage, creatorNeedsThePrefixAndACommaAfterTheNumber) {
    const std::pair<std::string_view, std::optional<std::int32_t>> cases[] = {
        {"pid 412, WindowServer", 412}, {"pid 7,a,b", 7},    {"pid 412", {}},          {"pid , x", {}},
        {"process 412, x", {}},         {"pid 4 12, x", {}}, {"pid 3000000000, x", {}}};
    for (const auto& [text, pid] : cases) EXPECT_EQ(GPUUsage::creator(text), pid) << text;
}

TEST(SystemTable, parsePsSkipsLinesWithAnyUnreadableField) {
    auto rows = SystemTable::parsePs(
        "    1     0   1:02.50  2048\n2 1 0:00.00\n3  1  later  5\n4 1 0:01.00 -5\n6\t1 0:01.00 1 5\n"
        "5 1 0:01.00 18014398509481984\n7 1 0:03.00 1\n+7 -1 1-00:00:00 4 trailing fields\n");
    EXPECT_EQ(rows, (std::unordered_map<std::int32_t, SystemTable::Row>{{1, {0, 62.5, 2'097'152}},
                                                                        {7, {-1, 86'400, 4'096}}}));
}

TEST(SystemTable, parseTopReadsUnitSuffixedFootprints) {
    auto footprints = SystemTable::parseTop(
        "PID    MEM\n10     512K+\n11 1.5G-\n12 100B\n13 3M+-+\n14 0.5B\n"
        "15 12\n16 N/A\n17 K\n18 -1K\n19 2T\n20 1K\n20 2K\n");
    EXPECT_EQ(footprints,
              (std::unordered_map<std::int32_t, std::uint64_t>{
                  {10, 524'288}, {11, 1'610'612'736}, {12, 100}, {13, 3'145'728}, {14, 0}, {20, 2'048}}));
}

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
