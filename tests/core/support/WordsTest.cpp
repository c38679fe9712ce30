#include <gtest/gtest.h>

#include "core/analysis/HeatReport.hpp"
#include "core/support/Words.hpp"

namespace tarvik {
namespace {

using Words::Platform;

TEST(WordsTest, LinuxReplacesWholeWordsOnlyAndMacOSKeepsTheText) {
    const std::pair<const char*, const char*> cases[] = {
        {"Your Mac is warm", "Your computer is warm"},
        {"Mac gets hot", "Computer gets hot"},
        {"less than the Mac's total", "less than the computer's total"},
        {"the Mac\u2019s total", "the computer\u2019s total"},
        {"macOS needs free space. Parts of macOS", "Linux needs free space. Parts of Linux"},
        {"Show in Finder", "Show in Files"},
        {"MacBook, iMac, Macs, MacOS, Finders, Mac_1", "MacBook, iMac, Macs, MacOS, Finders, Mac_1"},
    };
    for (const auto& [mac, worded] : cases) {
        EXPECT_EQ(Words::forPlatform(mac, Platform::Linux), worded) << mac;
        EXPECT_EQ(Words::forPlatform(mac, Platform::macOS), mac) << mac;
    }
}

TEST(WordsTest, NamesFilledIntoAFixedTextKeepTheirWords) {
    EXPECT_EQ(Words::filled("{} stopped. Your Mac has room again.", {"Mac"}),
              "Mac stopped. Your computer has room again.");
    EXPECT_EQ(Words::filled("Show {} in Finder, next to {}.", {"Finder", "macOS notes"}),
              "Show Finder in Files, next to macOS notes.");
    EXPECT_EQ(Words::filled("{} and {}", {"only one"}), "only one and ") << "a missing name leaves nothing";
    EXPECT_EQ(Words::filled("no names", {"unused"}), "no names");
}

TEST(WordsTest, TheNormalTemperatureNoteNamesNoAppleHardware) {
    EXPECT_EQ(normalTemperatureNote().find("Apple"), std::string::npos);
    EXPECT_TRUE(normalTemperatureNote().starts_with("Temperature is normal. "));
}

}  // namespace
}  // namespace tarvik
