#include "core/support/Unicode.hpp"

#include <locale.h>
#include <wchar.h>
#include <wctype.h>

#include <climits>
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
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
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

}  // namespace tarvik::Unicode
