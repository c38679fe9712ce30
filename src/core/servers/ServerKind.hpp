#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// Colour tokens; the views map each to a colour.
enum class TintToken { yellow, amber, orange, red, pink, purple, indigo, blue, teal, emerald, green, slate };

inline constexpr std::array<TintToken, 12> allTintTokens = {
    TintToken::yellow, TintToken::amber,   TintToken::orange, TintToken::red,
    TintToken::pink,   TintToken::purple,  TintToken::indigo, TintToken::blue,
    TintToken::teal,   TintToken::emerald, TintToken::green,  TintToken::slate};

// The raw value: the token's own name ("emerald").
[[nodiscard]] std::string_view rawValue(TintToken token);
// The token of a raw value; nullopt for unknown text.
[[nodiscard]] std::optional<TintToken> tintToken(std::string_view raw);

// What a server is: display name, symbol image name and colour.
struct ServerKind {
    std::string name;
    std::string symbol;
    TintToken tint = TintToken::slate;
    bool operator==(const ServerKind&) const = default;
};

enum class ServerCategory { dev, system };

// "dev" or "system".
[[nodiscard]] std::string_view rawValue(ServerCategory category);

}  // namespace tarvik
