#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/Diagnosis.hpp"
#include "core/machine/Sensors.hpp"
#include "core/machine/SystemVitals.hpp"

// The verdict at the top of a dashboard page.
namespace tarvik::ui::PageSentence {

// The first finding of `kind`: its title, ". " and its detail; `fallback` when there is none.
[[nodiscard]] std::string of(const std::vector<Finding>& findings, Finding::Kind kind,
                             const std::string& fallback);

// What each page says when nothing was found. `cores` counts logical cores.
[[nodiscard]] std::string cpuFallback(int cores);
[[nodiscard]] std::string memoryFallback(MemoryPressure pressure);
[[nodiscard]] std::string gpuFallback();
[[nodiscard]] std::string heatFallback();
// "Charging at 45 W.", "Charging.", "Plugged in and not charging." or "Running on battery.".
[[nodiscard]] std::string batteryStatus(const BatteryStatus& battery);

}  // namespace tarvik::ui::PageSentence
