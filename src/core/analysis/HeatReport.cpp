#include "core/analysis/HeatReport.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "core/support/Text.hpp"

namespace tarvik {

std::optional<HeatLevel> heatLevel(int raw) {
    if (raw < 0 || raw > 4) return std::nullopt;
    return static_cast<HeatLevel>(raw);
}

int rawValue(HeatLevel level) {
    return static_cast<int>(level);
}

std::string_view name(HeatLevel level) {
    switch (level) {
        case HeatLevel::cool:
            return "cool";
        case HeatLevel::workingHard:
            return "workingHard";
        case HeatLevel::warm:
            return "warm";
        case HeatLevel::hot:
            return "hot";
        case HeatLevel::critical:
            return "critical";
    }
    return "cool";
}

std::string_view rawValue(SystemTint tint) {
    switch (tint) {
        case SystemTint::green:
            return "green";
        case SystemTint::orange:
            return "orange";
        case SystemTint::red:
            return "red";
    }
    return "green";
}

std::string normalTemperatureNote() {
    return "Temperature is normal. Processors slow themselves down only near their limit, "
           "about 95 to 100 °C.";
}

std::string headline(HeatLevel level) {
    switch (level) {
        case HeatLevel::cool:
            return "Temperature normal";
        case HeatLevel::workingHard:
            return "Your computer is working hard";
        case HeatLevel::warm:
            return "Your computer is warm";
        case HeatLevel::hot:
            return "Your computer is running hot";
        case HeatLevel::critical:
            return "Your computer is very hot";
    }
    return "Temperature normal";
}

SystemTint tint(HeatLevel level) {
    if (level >= HeatLevel::hot) return SystemTint::red;
    if (level >= HeatLevel::workingHard) return SystemTint::orange;
    return SystemTint::green;
}

std::string_view icon(HeatLevel level) {
    return level >= HeatLevel::hot ? "fire" : "thermometer-simple";
}

namespace HeatCauses {

std::string Charging::title() const {
    return fmt::format("Fast charging, {} W", static_cast<long long>(Text::roundHalfAwayFromZero(watts)));
}

std::string Charging::text() {
    return "Charging this fast warms the computer, mostly underneath. It's normal and safe, and eases off "
           "past 80%.";
}

}  // namespace HeatCauses

bool HeatReport::isSymptom(std::string_view appName) {
    return std::ranges::find(symptoms, appName) != symptoms.end();
}

std::optional<AppUsage> HeatReport::culprit() const {
    for (const HeatCause& cause : causes)
        if (const auto* app = std::get_if<HeatCauses::App>(&cause)) return app->usage;
    return std::nullopt;
}

namespace {

std::optional<HeatLevel> temperatureGrade(std::optional<double> celsius) {
    if (!celsius) return std::nullopt;
    if (*celsius >= 95) return HeatLevel::critical;
    if (*celsius >= 88) return HeatLevel::hot;
    if (*celsius >= 75) return HeatLevel::warm;
    return std::nullopt;
}

HeatLevel gradeLevel(ThermalLevel thermal, std::optional<HeatLevel> grade) {
    switch (thermal) {
        case ThermalLevel::critical:
            return HeatLevel::critical;
        case ThermalLevel::serious:
            return grade == HeatLevel::critical ? HeatLevel::critical : HeatLevel::hot;
        case ThermalLevel::fair:
            // A cooler grade never lowers the fair state's warm.
            return grade && *grade > HeatLevel::warm ? *grade : HeatLevel::warm;
        case ThermalLevel::nominal:
            return grade.value_or(HeatLevel::cool);
    }
    return HeatLevel::cool;
}

double score(const AppUsage& app) {
    return app.cpuPercent + 2 * app.gpuPercent;
}

}  // namespace

HeatReport HeatReport::diagnose(const HeatInputs& inputs) {
    HeatReport report;
    report.chipCelsius = inputs.chipCelsius;
    report.systemWatts = inputs.systemWatts;
    report.chargingWatts = inputs.chargingWatts;
    report.level = gradeLevel(inputs.thermal, temperatureGrade(inputs.chipCelsius));

    std::vector<const AppUsage*> candidates;
    for (const AppUsage& app : inputs.apps)
        if (!isSymptom(app.name)) candidates.push_back(&app);

    if (report.level == HeatLevel::cool) {
        bool appWorksHard =
            std::ranges::any_of(candidates, [](const AppUsage* app) { return app->cpuPercent >= 200; });
        if (inputs.systemCPU >= 50 || inputs.gpu >= 60 || appWorksHard) report.level = HeatLevel::workingHard;
    }

    // Once the machine is warm, smaller loads count as causes.
    bool heated = report.level >= HeatLevel::warm;
    double cpuFloor = heated ? 25 : 100;
    double gpuFloor = heated ? 15 : 30;
    std::vector<const AppUsage*> kept;
    for (const AppUsage* app : candidates)
        if (app->cpuPercent >= cpuFloor || app->gpuPercent >= gpuFloor) kept.push_back(app);
    std::ranges::stable_sort(kept, [](const AppUsage* a, const AppUsage* b) {
        if (score(*a) != score(*b)) return score(*a) > score(*b);
        return a->cpuPercent > b->cpuPercent;
    });
    if (kept.size() > 3) kept.resize(3);
    for (const AppUsage* app : kept) report.causes.emplace_back(HeatCauses::App{*app});

    if (inputs.chargingWatts && *inputs.chargingWatts >= 30) {
        HeatCauses::Charging charging{*inputs.chargingWatts};
        // The charger then feeds the battery at least as much as the machine draws.
        bool chargingLeads = inputs.systemWatts && *inputs.systemWatts <= *inputs.chargingWatts;
        if (chargingLeads)
            report.causes.emplace(report.causes.begin(), charging);
        else
            report.causes.emplace_back(charging);
    }
    return report;
}

}  // namespace tarvik
