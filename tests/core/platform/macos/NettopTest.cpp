#include "core/platform/macos/Nettop.hpp"

#include <gtest/gtest.h>

#include <tuple>

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
         {{2, "b", 2, 0}}},
    };
    for (const auto& [what, output, expected] : cases)
        EXPECT_EQ(NetworkUsage::parse(output), expected) << what;
}

}  // namespace
}  // namespace tarvik
