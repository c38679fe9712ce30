#include "cli/DoctorCommand.hpp"
#include "cli/CliSupport.hpp"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <thread>

#include "core/analysis/AppExplainer.hpp"
#include "core/analysis/DoctorReport.hpp"
#include "core/analysis/VitalsRecorder.hpp"
#include "core/machine/SystemMonitor.hpp"
#include "core/platform/SystemSensors.hpp"
#include "core/processes/ProcessSampler.hpp"
#include "core/servers/PortScanner.hpp"
#include "core/support/Text.hpp"
#include "core/support/Unicode.hpp"

namespace tarvik::cli {

namespace {

using Json = nlohmann::ordered_json;

}  // namespace

std::string renderDoctor(const HeatReport& heat, const std::vector<Finding>& findings,
                         const Terminal& terminal) {
    auto bold = [&](const std::string& text) {
        return terminal.colour ? "\x1b[1m" + text + "\x1b[0m" : text;
    };
    std::string out = bold(headline(heat.level));
    std::vector<std::string> readings;
    if (heat.chipCelsius) readings.push_back(fmt::format("chip {:.0f} °C", *heat.chipCelsius));
    if (heat.systemWatts) readings.push_back(fmt::format("{:.1f} W", *heat.systemWatts));
    for (std::size_t i = 0; i < readings.size(); ++i) out += (i ? ", " : ": ") + readings[i];
    out += "\n";
    // Without a temperature sensor nothing is known about the temperature.
    if (heat.level == HeatLevel::cool && heat.causes.empty() && heat.chipCelsius)
        out += "  " + normalTemperatureNote() + "\n";
    for (const auto& cause : heat.causes) {
        if (const auto* app = std::get_if<HeatCauses::App>(&cause)) {
            auto explanation = AppExplainer::explain(app->usage);
            out += fmt::format("  • {} ({:.0f}% CPU): {}", Unicode::visible(explanation.title),
                               app->usage.cpuPercent, Unicode::visible(explanation.why));
            if (!explanation.advice.empty()) out += " " + Unicode::visible(explanation.advice);
        } else {
            const auto& charging = std::get<HeatCauses::Charging>(cause);
            out += "  • " + charging.title() + ": " + HeatCauses::Charging::text();
        }
        out += "\n";
    }
    out += "\n" + bold("Findings") + "\n";
    for (const auto& finding : findings) {
        out += "  [" + std::string(Finding::rawValue(finding.severity)) + "] " +
               bold(Unicode::visible(finding.title)) + "\n";
        if (!finding.detail.empty()) out += "    " + Unicode::visible(finding.detail) + "\n";
    }
    return out;
}

Json toJson(const DoctorReport& report) {
    const HeatReport& heat = report.heat();
    const std::vector<Finding>& findings = report.findings;
    Json causes = Json::array();
    for (const auto& cause : heat.causes) {
        if (const auto* app = std::get_if<HeatCauses::App>(&cause)) {
            auto explanation = AppExplainer::explain(app->usage);
            causes.push_back({{"kind", "app"},
                              {"app", app->usage.name},
                              {"cpuPercent", app->usage.cpuPercent},
                              {"gpuPercent", app->usage.gpuPercent},
                              {"title", explanation.title},
                              {"why", explanation.why},
                              {"advice", explanation.advice}});
        } else {
            const auto& charging = std::get<HeatCauses::Charging>(cause);
            causes.push_back({{"kind", "charging"}, {"watts", charging.watts}, {"title", charging.title()}});
        }
    }
    // The apps as averaged over the samples, busiest first.
    std::vector<const AppUsage*> apps;
    for (const auto& app : report.inputs.apps) apps.push_back(&app);
    std::stable_sort(apps.begin(), apps.end(),
                     [](auto* a, auto* b) { return a->cpuPercent > b->cpuPercent; });
    Json busiest = Json::array();
    for (std::size_t i = 0; i < std::min<std::size_t>(apps.size(), 5); ++i)
        busiest.push_back({{"app", apps[i]->name},
                           {"cpuPercent", apps[i]->cpuPercent},
                           {"memoryBytes", apps[i]->memoryBytes}});
    Json list = Json::array();
    for (const auto& finding : findings)
        list.push_back({{"kind", Finding::rawValue(finding.kind)},
                        {"severity", Finding::rawValue(finding.severity)},
                        {"title", finding.title},
                        {"detail", finding.detail},
                        {"app", finding.app ? Json(finding.app->name) : Json(nullptr)}});
    Json json;
    json["heat"] = {{"level", name(heat.level)},
                    {"headline", headline(heat.level)},
                    {"chipCelsius", orNull(heat.chipCelsius)},
                    {"systemWatts", orNull(heat.systemWatts)},
                    {"chargingWatts", orNull(heat.chargingWatts)},
                    {"causes", std::move(causes)}};
    json["findings"] = std::move(list);
    json["apps"] = std::move(busiest);
    return json;
}

CLI::App* addDoctorCommand(CLI::App& app, DoctorOptions& options) {
    auto* doctor = app.add_subcommand("doctor", "Say why the machine is hot or slow, from a few samples");
    doctor->add_option("--samples", options.samples, "Machine samples to take")
        ->transform(decimal(2, 600, "takes a number of samples"))
        ->capture_default_str();
    doctor->add_option("--interval", options.interval, "Seconds between the samples")
        ->check(seconds(false))
        ->capture_default_str();
    doctor->add_flag("--json", options.json, "Print the heat report and the findings as JSON");
    return doctor;
}

int runDoctor(const DoctorOptions& options, std::ostream& out) {
    ProcessSampler sampler;
    SystemMonitor monitor;
    VitalsRecorder recorder;
    DoctorReport report;
    auto sources = PortScanner::Sources::live();
    for (int i = 0; i < options.samples; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::duration<double>(options.interval));
        auto snapshot = sampler.sample();
        auto vitals = monitor.sample(snapshot);
        // The first sample only starts the rates: recorded, its zeros would be averaged in.
        if (i == 0) continue;
        auto servers = PortScanner::scan(snapshot, sources);
        const Date now = snapshot.at;
        auto apps = recorder.record(vitals, SystemStats::memory(), servers, now);
        report = DoctorReport::assemble(
            recorder, {std::move(vitals), std::move(apps), MemoryPressures::current()}, now);
    }
    if (options.json) {
        printJson(out, toJson(report));
        return 0;
    }
    out << renderDoctor(report.heat(), report.findings, Terminal::of(stdout));
    return 0;
}

}  // namespace tarvik::cli
