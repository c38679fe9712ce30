#include "cli/JsonText.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/support/Text.hpp"

namespace tarvik::cli {

namespace {

void appendEscaped(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out.push_back('"');
    std::size_t plain = 0;  // the start of the run of bytes that need no escape
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') continue;
        out.append(text.substr(plain, i - plain));
        plain = i + 1;
        switch (byte) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\f':
                out.append("\\f");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            default:
                out.append("\\u00");
                out.push_back(hex[byte >> 4]);
                out.push_back(hex[byte & 0xF]);
        }
    }
    out.append(text.substr(plain));
    out.push_back('"');
}

}  // namespace

void JsonText::indent(std::size_t depth) {
    m_text.append(2 * depth, ' ');
}

void JsonText::element() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_counts.empty()) return;
    m_text.append(m_counts.back()++ > 0 ? ",\n" : "\n");
    indent(m_counts.size());
}

void JsonText::open(char bracket) {
    element();
    m_text.push_back(bracket);
    m_counts.push_back(0);
}

void JsonText::close(char bracket) {
    const std::size_t count = m_counts.back();
    m_counts.pop_back();
    if (count > 0) {
        m_text.push_back('\n');
        indent(m_counts.size());
    }
    m_text.push_back(bracket);
}

void JsonText::key(std::string_view name) {
    element();
    appendEscaped(m_text, name);
    m_text.append(": ");
    m_afterKey = true;
}

void JsonText::value(std::string_view text) {
    element();
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        appendEscaped(m_text, text);
    else
        appendEscaped(m_text, Text::repairUtf8(text));
}

void JsonText::value(std::int64_t number) {
    element();
    char digits[24];
    auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
    m_text.append(digits, end);
}

void JsonText::value(std::uint64_t number) {
    element();
    char digits[24];
    auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
    m_text.append(digits, end);
}

void JsonText::value(double number) {
    if (!std::isfinite(number)) return null();
    element();
    // The shortest digits that read back as the same number, placed as the library places them:
    // plainly while the point falls within 15 places of them, with ".0" on a whole number, and
    // with an exponent beyond.
    char scientific[32];
    auto end =
        std::to_chars(std::begin(scientific), std::end(scientific), number, std::chars_format::scientific)
            .ptr;
    std::string_view form(scientific, static_cast<std::size_t>(end - scientific));
    const std::size_t e = form.find('e');
    std::string digits;
    for (char c : form.substr(0, e))
        if (c >= '0' && c <= '9') digits.push_back(c);
    const bool negative = form.front() == '-';
    int exponent = 0;
    std::from_chars(form.data() + e + (form[e + 1] == '+' ? 2 : 1), form.data() + form.size(), exponent);
    const int point = exponent + 1;  // digits before the point
    const int count = static_cast<int>(digits.size());
    if (negative) m_text.push_back('-');
    if (count <= point && point <= 15) {
        m_text.append(digits).append(static_cast<std::size_t>(point - count), '0').append(".0");
    } else if (0 < point && point <= 15) {
        m_text.append(digits, 0, static_cast<std::size_t>(point))
            .append(".")
            .append(digits, static_cast<std::size_t>(point));
    } else if (-4 < point && point <= 0) {
        m_text.append("0.").append(static_cast<std::size_t>(-point), '0').append(digits);
    } else {
        m_text.append(form.substr(negative ? 1 : 0));
    }
}

void JsonText::value(bool flag) {
    element();
    m_text.append(flag ? "true" : "false");
}

void JsonText::null() {
    element();
    m_text.append("null");
}

void JsonText::textOrNull(std::string_view text) {
    if (text.empty()) return null();
    value(text);
}

void JsonText::value(const std::vector<std::string>& texts) {
    beginArray();
    for (const auto& text : texts) value(text);
    endArray();
}

}  // namespace tarvik::cli
