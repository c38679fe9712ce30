#include "core/support/Text.hpp"
#include "core/support/Unicode.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace tarvik {
namespace {

TEST(Text, TrimsOnlyTheGivenCharactersAndOnlyAtTheEnds) {
    // text, the characters to trim, trimmed, trimmed at the end
    const std::tuple<std::string_view, std::string_view, std::string_view, std::string_view> cases[] = {
        {" \tword \t", Text::blanks, "word", " \tword"},
        {"two  words", Text::blanks, "two  words", "two  words"},
        {"line\r\n", Text::blanks, "line\r\n", "line\r\n"},
        {"\r\n\v\f line \r\n", Text::whitespace, "line", "\r\n\v\f line"},
        {"   ", Text::blanks, "", ""},
        {"vv1.2V", "vV", "1.2", "vv1.2"}};
    for (const auto& [text, characters, trimmed, endTrimmed] : cases) {
        EXPECT_EQ(Text::trim(text, characters), trimmed) << testing::PrintToString(std::string(text));
        EXPECT_EQ(Text::trimEnd(text, characters), endTrimmed) << testing::PrintToString(std::string(text));
    }
    EXPECT_EQ(Text::trim("\t x \t"), "x") << "spaces and tabs by default";
}

TEST(Text, FieldsKeepEveryEmptyPieceWhereSplitDropsThem) {
    using Pieces = std::vector<std::string_view>;
    const std::tuple<std::string_view, Pieces, Pieces> cases[] = {
        // text, fields, split
        {"a\tb\tc", {"a", "b", "c"}, {"a", "b", "c"}},
        {"a\t\tc", {"a", "", "c"}, {"a", "c"}},
        {"\ta\t", {"", "a", ""}, {"a"}},
        {"\t", {"", ""}, {}},
        {"", {""}, {}}};
    for (const auto& [text, fields, split] : cases) {
        EXPECT_EQ(Text::fields(text, '\t'), fields) << testing::PrintToString(std::string(text));
        EXPECT_EQ(Text::split(text, '\t'), split) << testing::PrintToString(std::string(text));
    }
}

TEST(Text, QuotesOnlyTheArgumentsThatNeedIt) {
    using Argv = std::vector<std::string>;
    const std::pair<Argv, std::string> cases[] = {
        {{"/usr/bin/node", "server.js", "--port=3000"}, "/usr/bin/node server.js --port=3000"},
        {{"app", "--title", "a b $(touch x)"}, "app --title 'a b $(touch x)'"},
        {{"echo", "it's"}, "echo 'it'\\''s'"},
        {{"run", "", "last"}, "run '' last"},
        {{"/usr/libexec/some daemon"}, "'/usr/libexec/some daemon'"},
        {{"/opt/Gr\u00fcn/bin/tool"}, "/opt/Gr\u00fcn/bin/tool"},
        {{}, ""}};
    for (const auto& [argv, shown] : cases) EXPECT_EQ(Text::quotedCommand(argv), shown) << shown;
}

// `count` U+FFFD, one for each byte that is not UTF-8.
std::string replacements(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += "\xef\xbf\xbd";
    return out;
}

TEST(Unicode, VisibleWritesEveryControlCharacterAsAnEscape) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain name", "plain name"},
        {"\x1b]0;title\x07", "\\e]0;title\\x07"},
        {"clear\x1b[2J", "clear\\e[2J"},
        {"two\nlines\tand tab\r", "two\\nlines\\tand tab\\x0d"},
        {"del\x7f", "del\\x7f"},
        {"c1 \u009b31m", "c1 \\u009b31m"},
        {"not utf-8 \xff", "not utf-8 \xef\xbf\xbd"},
        {"past U+10FFFF \xf4\x90\x80\x80", "past U+10FFFF " + replacements(4)},
        {"five bytes \xf8\x88\x80\x80\x80", "five bytes " + replacements(5)},
        {"Gr\xc3\xbcn \xe6\xbc\xa2", "Gr\xc3\xbcn \xe6\xbc\xa2"},
        {std::string("nul\0byte", 8), "nul\\x00byte"}};
    for (const auto& [raw, shown] : cases) EXPECT_EQ(Unicode::visible(raw), shown) << shown;
}

TEST(Unicode, WidthCountsTerminalColumnsAndTruncateKeepsToThem) {
    const std::tuple<std::string, std::size_t> widths[] = {
        {"abc", 3}, {"Gr\xc3\xbcn", 4}, {"\xe6\xbc\xa2\xe5\xad\x97", 4}, {"e\xcc\x81", 1}, {"", 0}};
    for (const auto& [text, columns] : widths) EXPECT_EQ(Unicode::displayWidth(text), columns) << text;
    EXPECT_EQ(Unicode::truncate("abcdef", 4), "abc\xe2\x80\xa6");
    EXPECT_EQ(Unicode::truncate("\xe6\xbc\xa2\xe5\xad\x97\xe5\xad\x97", 4), "\xe6\xbc\xa2\xe2\x80\xa6")
        << "a wide character that would cross the limit is left out whole";
    EXPECT_EQ(Unicode::truncate("abc", 3), "abc");
    EXPECT_EQ(Unicode::truncate("abc", 0), "");
}

TEST(Text, FillsNamesInOrderAndInsertsThemAsTheyAre) {
    EXPECT_EQ(Text::filled("{} stopped, and so did {}.", {"a {}", "b"}), "a {} stopped, and so did b.");
    EXPECT_EQ(Text::filled("{} and {}", {"only one"}), "only one and ") << "a missing name leaves nothing";
    EXPECT_EQ(Text::filled("no names", {"unused"}), "no names");
}

}  // namespace
}  // namespace tarvik
