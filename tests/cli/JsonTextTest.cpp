#include "cli/JsonText.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>

namespace tarvik::cli {
namespace {

std::string written(const std::function<void(JsonText&)>& write) {
    JsonText json;
    write(json);
    return json.text();
}

// What scripts have read from `list --json` stays as it was, byte for byte: each document reads
// back as JSON and is laid out as nlohmann's dump(2) lays out the same values.
TEST(JsonText, LaysOutAsTheLibraryDumpDoesAndEscapesWhatJsonMust) {
    using namespace std::string_literals;
    const std::pair<const char*, std::function<void(JsonText&)>> cases[] = {
        {"empty containers",
         [](JsonText& j) {
             j.beginArray(), j.beginArray(), j.endArray(), j.beginObject(), j.endObject(), j.endArray();
         }},
        {"nested members",
         [](JsonText& j) {
             j.beginObject(), j.key("pid"), j.value(-42), j.key("kind"), j.beginObject(), j.key("name"),
                 j.value("Vite"), j.endObject(), j.key("argv"), j.value(std::vector<std::string>{"a", "b"}),
                 j.key("none"), j.null(), j.key("flag"), j.value(true), j.endObject();
         }},
        {"numbers",
         [](JsonText& j) {
             j.beginArray(), j.value(102.54), j.value(5.0), j.value(-2.5), j.value(0.0001), j.value(1e-05),
                 j.value(1e14), j.value(1e15), j.value(1.2345678901234568e+20), j.value(-0.03125),
                 j.value(std::numeric_limits<std::uint64_t>::max()), j.value(std::optional<double>{}),
                 j.endArray();
         }},
        {"hostile texts", [](JsonText& j) {
             j.beginObject(), j.key("quote\"key"), j.value("a\"b\\c\nd\te\r\b\f\x01\x1f\x7f 漢字"s),
                 j.key("empty"), j.textOrNull(""), j.endObject();
         }}};
    for (const auto& [name, write] : cases) {
        SCOPED_TRACE(name);
        const std::string text = written(write);
        const auto parsed = nlohmann::ordered_json::parse(text);
        EXPECT_EQ(text, parsed.dump(2)) << text;
    }

    EXPECT_EQ(written([](JsonText& j) { j.value(std::nan("")); }), "null");
    EXPECT_EQ(written([](JsonText& j) { j.value(-std::numeric_limits<double>::infinity()); }), "null");
    // Bad bytes of a name are replaced, one U+FFFD each, and the document stays readable.
    const std::string repaired = written([](JsonText& j) { j.value("Gr\xfcn\xc3"); });
    EXPECT_EQ(repaired, "\"Gr\xEF\xBF\xBDn\xEF\xBF\xBD\"");
    EXPECT_EQ(nlohmann::json::parse(repaired), "Gr\uFFFDn\uFFFD");
}

}  // namespace
}  // namespace tarvik::cli
