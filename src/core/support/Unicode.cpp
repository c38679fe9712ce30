#include "core/support/Unicode.hpp"

#include <locale.h>
#include <wchar.h>
#include <wctype.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarvik::Unicode {

namespace {

// Character classes from the C.UTF-8 locale, which every glibc has; collation from the user's
// locale when it is installed.
locale_t classes() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return made ? made : duplocale(LC_GLOBAL_LOCALE);
    }();
    return locale;
}

locale_t collation() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
        if (made) return made;
        return classes();
    }();
    return locale;
}

// Decodes UTF-8; a byte that does not start a valid sequence reads as U+FFFD.
std::wstring decode(std::string_view text) {
    std::wstring out;
    mbstate_t state{};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    locale_t previous = uselocale(classes());
    while (at < end) {
        wchar_t c = 0;
        std::size_t used = mbrtowc(&c, at, static_cast<std::size_t>(end - at), &state);
        // glibc also reads code points past U+10FFFF and the old five- and six-byte forms, which
        // UTF-8 no longer has and which would be written back as they came.
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) ||
            static_cast<std::uint32_t>(c) > 0x10FFFF) {
            out.push_back(L'\uFFFD');
            state = mbstate_t{};
            ++at;
            continue;
        }
        out.push_back(c);
        at += used == 0 ? 1 : used;
    }
    uselocale(previous);
    return out;
}

std::string encode(const std::wstring& text) {
    std::string out;
    mbstate_t state{};
    char buffer[MB_LEN_MAX];
    locale_t previous = uselocale(classes());
    for (wchar_t c : text) {
        std::size_t length = wcrtomb(buffer, c, &state);
        if (length != static_cast<std::size_t>(-1)) out.append(buffer, length);
    }
    uselocale(previous);
    return out;
}

}  // namespace

std::string lettersAndNumbersLowercased(std::string_view text) {
    std::wstring kept;
    for (wchar_t c : decode(text)) {
        if (iswalnum_l(static_cast<wint_t>(c), classes()))
            kept.push_back(static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), classes())));
    }
    return encode(kept);
}

int compareCaseInsensitive(std::string_view a, std::string_view b) {
    auto folded = [](std::string_view text) {
        std::wstring wide = decode(text);
        for (wchar_t& c : wide) c = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), classes()));
        return wide;
    };
    return wcscoll_l(folded(a).c_str(), folded(b).c_str(), collation());
}

std::string visible(std::string_view text) {
    std::wstring shown;
    auto escape = [&](const char* format, unsigned value) {
        char narrow[8];
        std::snprintf(narrow, sizeof narrow, format, value);
        for (const char* c = narrow; *c; ++c) shown.push_back(static_cast<wchar_t>(*c));
    };
    for (wchar_t c : decode(text)) {
        auto code = static_cast<unsigned>(c);
        if (code == 0x1B)
            shown += L"\\e";
        else if (code == '\n')
            shown += L"\\n";
        else if (code == '\t')
            shown += L"\\t";
        else if (code < 0x20 || code == 0x7F)
            escape("\\x%02x", code);
        else if (code >= 0x80 && code < 0xA0)
            escape("\\u%04x", code);
        else
            shown.push_back(c);
    }
    return encode(shown);
}

std::size_t displayWidth(std::string_view text) {
    std::size_t columns = 0;
    locale_t previous = uselocale(classes());
    for (wchar_t c : decode(text)) {
        int width = wcwidth(c);
        columns += width > 0 ? static_cast<std::size_t>(width) : 0;
    }
    uselocale(previous);
    return columns;
}

std::string truncate(std::string_view text, std::size_t width) {
    if (displayWidth(text) <= width) return std::string(text);
    if (width == 0) return {};
    std::wstring kept;
    std::size_t columns = 0;
    locale_t previous = uselocale(classes());
    for (wchar_t c : decode(text)) {
        int cells = std::max(wcwidth(c), 0);
        if (columns + static_cast<std::size_t>(cells) > width - 1) break;
        columns += static_cast<std::size_t>(cells);
        kept.push_back(c);
    }
    uselocale(previous);
    return encode(kept) + "…";
}

}  // namespace tarvik::Unicode
