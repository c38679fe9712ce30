#pragma once

#include <memory>

#include "ui/ServerStore.hpp"

// A fixed, plausible machine for renders and view tests: a few projects' dev servers, a database,
// a container, two system listeners, recent stops, insights and an hour of readings.
namespace tarvik::ui::Preview {

[[nodiscard]] PreviewData data();
// Fills the preview setters of `store` with the rest of the fixed machine, as of `now`.
void decorate(ServerStore& store, Date now);
// Services that reach nothing: a real clock and timers, no machine, no desktop.
[[nodiscard]] Services inertServices();
// A decorated preview store on inert services.
[[nodiscard]] std::unique_ptr<ServerStore> store();

}  // namespace tarvik::ui::Preview
