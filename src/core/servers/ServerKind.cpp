#include "core/servers/ServerKind.hpp"

namespace tarvik {

std::string_view rawValue(TintToken token) {
    switch (token) {
        case TintToken::yellow:
            return "yellow";
        case TintToken::amber:
            return "amber";
        case TintToken::orange:
            return "orange";
        case TintToken::red:
            return "red";
        case TintToken::pink:
            return "pink";
        case TintToken::purple:
            return "purple";
        case TintToken::indigo:
            return "indigo";
        case TintToken::blue:
            return "blue";
        case TintToken::teal:
            return "teal";
        case TintToken::emerald:
            return "emerald";
        case TintToken::green:
            return "green";
        case TintToken::slate:
            return "slate";
    }
    return "slate";  // unreachable for valid enumerators; keeps -Wreturn-type quiet
}

std::optional<TintToken> tintToken(std::string_view raw) {
    for (TintToken token : allTintTokens)
        if (rawValue(token) == raw) return token;
    return std::nullopt;
}

std::string_view rawValue(ServerCategory category) {
    return category == ServerCategory::dev ? "dev" : "system";
}

}  // namespace tarvik
