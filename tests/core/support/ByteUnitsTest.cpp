#include "core/support/ByteFormat.hpp"
#include "core/support/ByteUnits.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

using std::nullopt;

// The forms top, docker stats, docker system prune and du print, and what none of them does; 2^64
// bytes and more do not fit.
TEST(ByteUnits, ReadsANumberWithItsBinaryOrDecimalUnit) {
    const std::pair<std::string_view, std::optional<std::uint64_t>> cases[] = {
        {"100B", 100},
        {"1.5G", 1'610'612'736},
        {"123.4MiB", 129'394'278},
        {"12.3kB", 12'300},
        {"1PB", 1'000'000'000'000'000},
        {"2mib", 2'097'152},
        {" 2 KiB \r\n", 2'048},
        {"0.5B", 0},
        {"17179869183G", 18'446'744'072'635'809'792u},
        {"17179869184G", nullopt},
        {"12", nullopt},
        {"K", nullopt},
        {"2TiB", nullopt},
        {"5 KBytes", nullopt},
        {"1.2.3MB", nullopt},
        {"-1MB", nullopt}};
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(ByteUnits::parse(text), bytes) << testing::PrintToString(std::string(text));
}

TEST(ByteUnits, ReadsAWholeCountOfKibibytes) {
    const std::pair<std::string_view, std::optional<std::uint64_t>> cases[] = {
        {" 734003 \n", 751'619'072},
        {"18014398509481983", 18'446'744'073'709'550'592u},
        {"18014398509481984", nullopt},
        {"1.5", nullopt},
        {"-1", nullopt},
        {"", nullopt}};
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(ByteUnits::parseKibibytes(text), bytes) << testing::PrintToString(std::string(text));
}

TEST(ByteFormat, picksTheUnitBeforeRoundingAndRoundsHalvesAwayFromZero) {
    struct Case {
        std::uint64_t bytes;
        std::string memory, disk, throughput;
    } cases[] = {{0, "0 MB", "0 KB", "0 KB/s"},
                 {2'560, "0 MB", "3 KB", "3 KB/s"},
                 {999'999, "1 MB", "1000 KB", "977 KB/s"},
                 {1'250'000, "1.2 MB", "1.3 MB", "1.2 MB/s"},
                 {1'310'720, "1.3 MB", "1.3 MB", "1.3 MB/s"},
                 {1'073'690'000, "1024 MB", "1.1 GB", "1024 MB/s"},
                 {1'073'741'824, "1 GB", "1.1 GB", "1.0 GB/s"},
                 {1'610'612'736, "1.5 GB", "1.6 GB", "1.5 GB/s"},
                 {999'960'000'000, "931.3 GB", "1000 GB", "931.3 GB/s"},
                 {2'000'000'000'000, "1862.6 GB", "2 TB", "1862.6 GB/s"}};
    for (const Case& c : cases) {
        EXPECT_EQ(ByteFormat::short_(c.bytes), c.memory) << c.bytes;
        EXPECT_EQ(ByteFormat::storage(c.bytes), c.disk) << c.bytes;
        EXPECT_EQ(ByteFormat::rate(static_cast<double>(c.bytes)), c.throughput) << c.bytes;
    }
    EXPECT_EQ(ByteFormat::rate(-5), "0 KB/s");
}

}  // namespace
}  // namespace tarvik
