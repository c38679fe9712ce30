#include "core/support/Words.hpp"

namespace tarvik::Words {

namespace {

// Only ASCII letters, digits and '_' join a word: non-ASCII bytes are treated as separators so
// that a typographic apostrophe ("Mac’s") still ends the word.
bool isWordCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string_view replacementFor(std::string_view word, bool startsText) {
    if (word == "Mac") return startsText ? "Computer" : "computer";
    if (word == "macOS") return "Linux";
    if (word == "Finder") return "Files";
    return word;
}

}  // namespace

std::string forPlatform(std::string_view text, Platform platform) {
    if (platform == Platform::macOS) return std::string(text);
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t i = 0;
    while (i < text.size()) {
        if (!isWordCharacter(text[i])) {
            out.push_back(text[i++]);
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && isWordCharacter(text[end])) ++end;
        out.append(replacementFor(text.substr(i, end - i), i == 0));
        i = end;
    }
    return out;
}

std::string text(std::string_view text) {
    return forPlatform(text, current());
}

std::string filled(std::string_view fixed, const std::vector<std::string>& names) {
    std::string worded = text(fixed);
    std::string out;
    std::size_t next = 0, from = 0;
    for (std::size_t at = worded.find("{}"); at != std::string::npos; at = worded.find("{}", from)) {
        out.append(worded, from, at - from);
        if (next < names.size()) out += names[next++];
        from = at + 2;
    }
    out.append(worded, from);
    return out;
}

std::string choose(std::string_view macText, std::string_view otherText) {
    return std::string(current() == Platform::macOS ? macText : otherText);
}

}  // namespace tarvik::Words
