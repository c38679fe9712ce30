#include <gtest/gtest.h>

#include "core/processes/EnrichmentParser.hpp"

namespace tarvik {

TEST(EnrichmentParser, keepsReadableRowsAndFoldsUnreadColumnsIntoArgs) {
    auto rows = EnrichmentParser::parseProcessInfo(
        "  123  2048  1.5 05:00 /usr/bin/node server.js \t\n"
        "124 100 abc 05:00 /usr/bin/node server.js\n"
        "125 10 0.0 soon cmd\n"
        "126 7\n\n"
        "x 1 1.0 00:01 a\n"
        "127 big 1.0 00:01 a\n"
        "128 1 0.0 00:01 old\n"
        "+128 2 0.5 1-00:00:00 new\n");
    const std::unordered_map<std::int32_t, EnrichmentParser::ProcInfo> expected{
        {123, {2048, 1.5, 300, "/usr/bin/node server.js"}},
        {124, {100, std::nullopt, std::nullopt, "abc 05:00 /usr/bin/node server.js"}},
        {125, {10, std::nullopt, std::nullopt, "0.0 soon cmd"}},
        {126, {7, std::nullopt, std::nullopt, ""}},
        {128, {2, 0.5, 86'400, "new"}},
    };
    EXPECT_EQ(rows, expected);
}

}  // namespace tarvik
