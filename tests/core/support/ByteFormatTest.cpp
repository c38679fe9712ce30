#include <gtest/gtest.h>

#include "core/support/ByteFormat.hpp"

namespace tarvik {

TEST(ByteFormat, picksTheUnitBeforeRoundingAndRoundsHalvesAwayFromZero) {
    struct Case {
        std::uint64_t bytes;
        std::string memory, disk, throughput;
    } cases[] = {
        {0, "0 MB", "0 KB", "0 KB/s"},
        {2'560, "0 MB", "3 KB", "3 KB/s"},
        {999'999, "1 MB", "1000 KB", "977 KB/s"},
        {1'250'000, "1.2 MB", "1.3 MB", "1.2 MB/s"},
        {1'310'720, "1.3 MB", "1.3 MB", "1.3 MB/s"},
        {1'073'690'000, "1024 MB", "1.1 GB", "1024 MB/s"},
        {1'073'741'824, "1 GB", "1.1 GB", "1.0 GB/s"},
        {1'610'612'736, "1.5 GB", "1.6 GB", "1.5 GB/s"},
        {999'960'000'000, "931.3 GB", "1000 GB", "931.3 GB/s"},
        {2'000'000'000'000, "1862.6 GB", "2 TB", "1862.6 GB/s"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ByteFormat::short_(c.bytes), c.memory) << c.bytes;
        EXPECT_EQ(ByteFormat::storage(c.bytes), c.disk) << c.bytes;
        EXPECT_EQ(ByteFormat::rate(static_cast<double>(c.bytes)), c.throughput) << c.bytes;
    }
    EXPECT_EQ(ByteFormat::rate(-5), "0 KB/s");
}

}  // namespace tarvik
