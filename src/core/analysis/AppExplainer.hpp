#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "core/processes/AppUsage.hpp"

namespace tarvik {

// What a busy application is doing, in plain words.
struct AppExplanation {
    std::string title;   // the name to show
    std::string why;     // what it is doing
    std::string advice;  // what the user can do; may be empty
    bool canQuit = false;

    bool operator==(const AppExplanation&) const = default;
};

namespace AppExplainer {

// Lower-case names of applications that start other programs for the user: terminals, coding
// agents and editors, as the Mac and the Linux desktops name them.
[[nodiscard]] const std::unordered_set<std::string_view>& hosts();

// A host with a busy first child is explained by that child; otherwise the first rule naming the
// lower-cased application name (for a script's row its script, else its interpreter), then the
// system and general fallbacks. The texts are worded for
// this platform.
[[nodiscard]] AppExplanation explain(const AppUsage& app);

}  // namespace AppExplainer

}  // namespace tarvik
