#include "core/support/Text.hpp"

#include <gtest/gtest.h>

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
        {"vv1.2V", "vV", "1.2", "vv1.2"},
    };
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
        {"", {""}, {}},
    };
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
        {{}, ""},
    };
    for (const auto& [argv, shown] : cases) EXPECT_EQ(Text::quotedCommand(argv), shown) << shown;
}

}  // namespace
}  // namespace tarvik
