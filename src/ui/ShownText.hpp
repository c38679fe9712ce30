#pragma once

#include <QString>
#include <string_view>

namespace tarvik::ui {

// Text from the system as the interface may show it: decoded as UTF-8 with repair, every control
// character written as a visible escape. Names are hostile; a process may call itself anything.
[[nodiscard]] QString qs(std::string_view text);

}  // namespace tarvik::ui
