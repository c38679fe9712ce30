#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/machine/Sensors.hpp"
#include "core/processes/AppUsage.hpp"

// Why the machine is hot: a grade and the applications (and fast charging) that add the heat.
namespace tarvik {

// Ordered by raw value, so `level >= HeatLevel::warm` reads as "at least warm".
enum class HeatLevel { cool = 0, workingHard = 1, warm = 2, hot = 3, critical = 4 };

// The level of a raw value; nullopt outside 0-4.
[[nodiscard]] std::optional<HeatLevel> heatLevel(int raw);
[[nodiscard]] int rawValue(HeatLevel level);
// "cool", "workingHard", "warm", "hot", "critical".
[[nodiscard]] std::string_view name(HeatLevel level);

// The platform's own accent colours, which the heat card uses instead of the server tokens.
enum class SystemTint { green, orange, red };

// "green", "orange", "red".
[[nodiscard]] std::string_view rawValue(SystemTint tint);

// The heat card's face of a level: "Your computer is running hot" and the like.
[[nodiscard]] std::string headline(HeatLevel level);
// The reassurance shown while the temperature is normal: when the processor would start to slow
// itself down.
[[nodiscard]] std::string normalTemperatureNote();
[[nodiscard]] SystemTint tint(HeatLevel level);
// "thermometer-simple" or "fire".
[[nodiscard]] std::string_view icon(HeatLevel level);

struct HeatInputs {
    ThermalLevel thermal = ThermalLevel::nominal;
    std::optional<double> chipCelsius;
    std::optional<double> systemWatts;    // whole-system draw
    std::optional<double> chargingWatts;  // into the battery
    double systemCPU = 0;                 // whole machine, percent 0-100
    double gpu = 0;                       // percent 0-100
    std::vector<AppUsage> apps;

    bool operator==(const HeatInputs&) const = default;
};

namespace HeatCauses {
struct App {
    AppUsage usage;
    bool operator==(const App&) const = default;
};
// The battery charging fast.
struct Charging {
    double watts = 0;
    bool operator==(const Charging&) const = default;

    // "Fast charging, 40 W": the watts rounded half away from zero.
    [[nodiscard]] std::string title() const;
    // Why it is warm and that it is harmless.
    [[nodiscard]] static std::string text();
};
}  // namespace HeatCauses

using HeatCause = std::variant<HeatCauses::App, HeatCauses::Charging>;

// The default value is the report held before the first sample: cool, no readings, no causes.
struct HeatReport {
    HeatLevel level = HeatLevel::cool;
    std::optional<double> chipCelsius;
    std::optional<double> systemWatts;
    std::optional<double> chargingWatts;
    // At most three applications in rank order, and fast charging first or last.
    std::vector<HeatCause> causes;

    bool operator==(const HeatReport&) const = default;

    // Applications that heat shows up in but never causes: the kernel throttling the processor
    // (kernel_task on the Mac; Linux's kernel threads are grouped as "Linux kernel"). Exact,
    // case-sensitive names.
    static constexpr std::array<std::string_view, 2> symptoms = {"kernel_task", "Linux kernel"};
    [[nodiscard]] static bool isSymptom(std::string_view appName);

    // The first application cause; nullopt when there is none.
    [[nodiscard]] std::optional<AppUsage> culprit() const;

    [[nodiscard]] static HeatReport diagnose(const HeatInputs& inputs);
};

}  // namespace tarvik
