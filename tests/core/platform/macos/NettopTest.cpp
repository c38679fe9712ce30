#include "core/platform/macos/Nettop.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

struct ParseCase {
    const char* name;
    const char* output;
    std::vector<ProcessTraffic> expected;
};

class NetworkUsageParse : public testing::TestWithParam<ParseCase> {};

TEST_P(NetworkUsageParse, ReadsTheIntervalSample) {
    EXPECT_EQ(NetworkUsage::parse(GetParam().output), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NetworkUsageParse,
    testing::Values(
        ParseCase{"SecondBlockOnly",
                  ",bytes_in,bytes_out,\nMail.812,5000,6000,\nSafari.90,1,1,\n"
                  ",bytes_in,bytes_out,\nMail.812,1024,0,\nSafari.90,10,20,\n",
                  {{812, "Mail", 1024, 0}, {90, "Safari", 10, 20}}},
        ParseCase{"DottedNameKeepsItsDots",
                  "time,bytes_in,bytes_out\nx.1,1,1\ntime,bytes_in,bytes_out\n"
                  "com.apple.WebKit.Networking.977,10,20\n",
                  {{977, "com.apple.WebKit.Networking", 10, 20}}},
        ParseCase{"SilentAndUnlabelledAndMalformedDropped",
                  ",a,b\n,a,b\nidle.5,0,0,\nnopid,10,10\nbad.x1,3,3\nshort.7,9\nempty.8,,4\nok.9,1,2\n",
                  {{9, "ok", 1, 2}}},
        ParseCase{"HeaviestFirstEqualTotalsKeepOrder",
                  ",\n,\na.1,1,1\nb.2,5,5\nc.3,2,0\n",
                  {{2, "b", 5, 5}, {1, "a", 1, 1}, {3, "c", 2, 0}}},
        ParseCase{"OneSampleIsEmpty", ",bytes_in,bytes_out,\nMail.812,1024,0,\n", {}},
        ParseCase{"Empty", "", {}},
        ParseCase{
            "LastNonEmptySampleWhenTheLastHeaderHasNoRows", ",\na.1,1,0\n,\nb.2,2,0\n,\n", {{2, "b", 2, 0}}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace tarvik
