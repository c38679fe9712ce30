#pragma once

#include <ostream>

#include <nlohmann/json.hpp>

#include "cli/Terminal.hpp"
#include "core/analysis/Diagnosis.hpp"
#include "core/analysis/DoctorReport.hpp"
#include "core/analysis/HeatReport.hpp"

namespace CLI {
class App;
}

namespace tarvik::cli {

struct DoctorOptions {
    int samples = 5;        // machine samples taken
    double interval = 1.0;  // seconds between them
    bool json = false;
};

CLI::App* addDoctorCommand(CLI::App& app, DoctorOptions& options);

// Samples the machine, records the samples as the app does, and prints the heat report and the
// findings.
int runDoctor(const DoctorOptions& options, std::ostream& out);

[[nodiscard]] std::string renderDoctor(const HeatReport& heat, const std::vector<Finding>& findings,
                                       const Terminal& terminal);
[[nodiscard]] nlohmann::ordered_json toJson(const DoctorReport& report);

}  // namespace tarvik::cli
