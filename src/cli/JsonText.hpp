#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvik::cli {

// JSON written straight into text, laid out as nlohmann's dump(2) lays it out (two spaces per level,
// "key": value, [] and {} when empty, null for a number that is not finite). A listing built a tree
// of values first and then walked it, which took longer than finding the servers did. Texts that
// are not valid UTF-8 have each bad byte replaced by U+FFFD.
class JsonText {
public:
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The member whose value the next call writes.
    void key(std::string_view name);

    void value(std::string_view text);
    void value(const char* text) { value(std::string_view(text)); }
    void value(const std::string& text) { value(std::string_view(text)); }
    void value(std::int64_t number);
    void value(int number) { value(static_cast<std::int64_t>(number)); }
    void value(std::uint64_t number);
    void value(double number);
    void value(bool flag);
    void null();
    // A text, or null where an empty text stands for nothing known.
    void textOrNull(std::string_view text);

    template <typename T>
    void value(const std::optional<T>& value) {
        if (value)
            this->value(*value);
        else
            null();
    }
    void value(const std::vector<std::string>& texts);

    // A member and its value.
    template <typename T>
    void field(std::string_view name, const T& value) {
        key(name);
        this->value(value);
    }

    // The text written so far; the caller has closed what it opened.
    [[nodiscard]] const std::string& text() const& { return m_text; }
    [[nodiscard]] std::string text() && { return std::move(m_text); }

private:
    void open(char bracket);
    void close(char bracket);
    void element();  // the separator and indent before a value of the open array or object
    void indent(std::size_t depth);

    std::string m_text;
    std::vector<std::size_t> m_counts;  // per open array or object, the values it holds
    bool m_afterKey = false;
};

}  // namespace tarvik::cli
