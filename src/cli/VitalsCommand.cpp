#include "cli/VitalsCommand.hpp"
#include "cli/CliSupport.hpp"
#include "cli/GpuCards.hpp"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <thread>

#include "core/machine/Sensors.hpp"
#include "core/machine/SystemMonitor.hpp"
#include "core/platform/SystemSensors.hpp"
#include "core/processes/ProcessSampler.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/Text.hpp"
#include "core/support/Unicode.hpp"

namespace tarvik::cli {

namespace {

using Json = nlohmann::ordered_json;

std::string percent(double fraction) {
    return fmt::format("{:.0f}%", Text::roundHalfAwayFromZero(fraction * 100));
}

std::string orNA(const std::optional<std::string>& text) {
    return text.value_or("n/a");
}

template <typename T, typename Format>
std::optional<std::string> mapped(const std::optional<T>& value, Format format) {
    if (!value) return std::nullopt;
    return format(*value);
}

std::string batteryText(const BatteryStatus& battery) {
    std::string text = std::to_string(battery.percent) + "%";
    text += battery.isCharging ? ", charging" : battery.onPower ? ", on power" : ", on battery";
    if (battery.minutesRemaining)
        text += fmt::format(", {}h {:02d}m {}", *battery.minutesRemaining / 60,
                            *battery.minutesRemaining % 60, battery.isCharging ? "to full" : "left");
    if (battery.watts) text += fmt::format(", {:.1f} W", *battery.watts);
    if (battery.healthPercent) text += ", health " + std::to_string(*battery.healthPercent) + "%";
    if (battery.cycleCount) text += ", " + std::to_string(*battery.cycleCount) + " cycles";
    return text;
}

std::string powerText(const PowerTelemetry& power) {
    std::vector<std::string> parts;
    if (power.systemWatts) parts.push_back(fmt::format("system {:.1f} W", *power.systemWatts));
    if (power.adapterWatts) parts.push_back(fmt::format("adapter {:.1f} W", *power.adapterWatts));
    if (power.chargingWatts) parts.push_back(fmt::format("charging {:.1f} W", *power.chargingWatts));
    if (parts.empty()) return "n/a";
    std::string text = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) text += ", " + parts[i];
    return text;
}

std::string appTable(std::vector<AppUsage> apps, bool byMemory, const Terminal& terminal) {
    std::stable_sort(apps.begin(), apps.end(), [&](const AppUsage& a, const AppUsage& b) {
        return byMemory ? a.memoryBytes > b.memoryBytes : a.cpuPercent > b.cpuPercent;
    });
    if (apps.size() > 8) apps.resize(8);
    std::vector<std::vector<std::string>> rows{{"  APP", "CPU", "MEMORY", "PROCESSES"}};
    for (const auto& app : apps)
        rows.push_back({"  " + app.name, fmt::format("{:.1f}%", app.cpuPercent),
                        ByteFormat::short_(app.memoryBytes), std::to_string(app.processCount)});
    return alignedTable(rows, {false, true, true, true}, terminal.width);
}

}  // namespace

std::string renderVitals(const SystemVitals& vitals, MemoryPressure pressure, const Terminal& terminal) {
    std::vector<std::pair<std::string, std::string>> lines;
    lines.emplace_back("CPU", orNA(mapped(vitals.cpu, [](const CPULoad& cpu) {
                           return percent(cpu.busy) + " busy (" + percent(cpu.user) + " user, " +
                                  percent(cpu.system) + " system)";
                       })));
    std::string cores;
    for (const auto& core : vitals.cores)
        cores += (cores.empty() ? "" : "  ") + std::to_string(core.index) + (core.isEfficiency ? "e" : "") +
                 ": " + percent(core.load);
    lines.emplace_back("Cores", cores.empty() ? "n/a" : cores);
    lines.emplace_back("Memory", orNA(mapped(vitals.memory, [&](const MemoryBreakdown& m) {
                           std::string limit;
                           if (vitals.memoryLimitedBy)
                               limit = " (the memory limit of this cgroup, " +
                                       Unicode::visible(*vitals.memoryLimitedBy) + ")";
                           return ByteFormat::short_(m.used()) + " used of " + ByteFormat::short_(m.total) +
                                  limit + ": apps " + ByteFormat::short_(m.app) + ", wired " +
                                  ByteFormat::short_(m.wired) + ", compressed " +
                                  ByteFormat::short_(m.compressed) + ", cached " +
                                  ByteFormat::short_(m.cached) + ", free " + ByteFormat::short_(m.free);
                       })));
    lines.emplace_back("Pressure", std::string(MemoryPressures::rawValue(pressure)));
    lines.emplace_back(
        "Swap", orNA(mapped(vitals.memory, [&](const MemoryBreakdown& m) -> std::string {
            if (m.swapTotal == 0) return "none";  // no swap space at all
            return ByteFormat::short_(m.swapUsed) + " of " + ByteFormat::short_(m.swapTotal) +
                   " used, swapping out " +
                   orNA(mapped(vitals.swapOutPerSecond, [](double r) { return ByteFormat::rate(r); }));
        })));
    lines.emplace_back("GPU",
                       orNA(mapped(vitals.gpu, [](double gpu) { return fmt::format("{:.0f}%", gpu); })));
    for (std::size_t i = 0; i < vitals.gpus.size(); ++i)
        lines.emplace_back("GPU " + std::to_string(i), gpuCardText(vitals.gpus[i]));
    auto rate = [](const std::optional<double>& value) {
        return orNA(mapped(value, [](double r) { return ByteFormat::rate(r); }));
    };
    lines.emplace_back("Network", rate(vitals.networkIn) + " in, " + rate(vitals.networkOut) + " out");
    lines.emplace_back("Disk", rate(vitals.diskRead) + " read, " + rate(vitals.diskWrite) + " written");
    lines.emplace_back("Space", orNA(mapped(vitals.disk, [](const DiskSpace& d) {
                           return ByteFormat::storage(d.free) + " free of " + ByteFormat::storage(d.total) +
                                  (d.isLow() ? " (low)" : "");
                       })));
    lines.emplace_back("Battery", orNA(mapped(vitals.battery, batteryText)));
    lines.emplace_back("Power", vitals.power ? powerText(*vitals.power) : "n/a");
    lines.emplace_back(
        "Chip", orNA(mapped(vitals.chipCelsius, [](double c) { return fmt::format("{:.0f} °C", c); })));
    lines.emplace_back("Thermal", std::string(name(vitals.thermal)));

    std::vector<std::vector<std::string>> rows;
    for (auto& [name, value] : lines) rows.push_back({name, value});
    std::string out = alignedTable(rows, {false, false}, terminal.width);
    auto heading = [&](const std::string& text) {
        return terminal.colour ? "\x1b[1m" + text + "\x1b[0m" : text;
    };
    out += "\n" + heading("Busiest apps by CPU") + "\n" + appTable(vitals.apps, false, terminal);
    out += "\n" + heading("Busiest apps by memory") + "\n" + appTable(vitals.apps, true, terminal);
    return out;
}

Json toJson(const SystemVitals& vitals, MemoryPressure pressure) {
    Json json;
    json["cpu"] =
        vitals.cpu
            ? Json{{"busy", vitals.cpu->busy}, {"user", vitals.cpu->user}, {"system", vitals.cpu->system}}
            : Json(nullptr);
    json["gpu"] = orNull(vitals.gpu);
    json["gpus"] = Json::array();
    for (const auto& card : vitals.gpus) json["gpus"].push_back(gpuCardJson(card));
    json["networkIn"] = orNull(vitals.networkIn);
    json["networkOut"] = orNull(vitals.networkOut);
    json["diskRead"] = orNull(vitals.diskRead);
    json["diskWrite"] = orNull(vitals.diskWrite);
    json["disk"] =
        vitals.disk ? Json{{"free", vitals.disk->free}, {"total", vitals.disk->total}} : Json(nullptr);
    if (vitals.battery) {
        const auto& b = *vitals.battery;
        json["battery"] = {{"percent", b.percent},
                           {"isCharging", b.isCharging},
                           {"onPower", b.onPower},
                           {"minutesRemaining", orNull(b.minutesRemaining)},
                           {"watts", orNull(b.watts)},
                           {"healthPercent", orNull(b.healthPercent)},
                           {"cycleCount", orNull(b.cycleCount)}};
    } else {
        json["battery"] = nullptr;
    }
    json["power"] = vitals.power ? Json{{"systemWatts", orNull(vitals.power->systemWatts)},
                                        {"adapterWatts", orNull(vitals.power->adapterWatts)},
                                        {"chargingWatts", orNull(vitals.power->chargingWatts)}}
                                 : Json(nullptr);
    json["chipCelsius"] = orNull(vitals.chipCelsius);
    json["thermal"] = std::string(name(vitals.thermal));
    if (vitals.memory) {
        const auto& m = *vitals.memory;
        json["memory"] = {{"total", m.total},
                          {"app", m.app},
                          {"wired", m.wired},
                          {"compressed", m.compressed},
                          {"cached", m.cached},
                          {"free", m.free},
                          {"swapUsed", m.swapUsed},
                          {"swapTotal", m.swapTotal},
                          {"available", m.available},
                          {"used", m.used()},
                          {"limitedBy", orNull(vitals.memoryLimitedBy)}};
    } else {
        json["memory"] = nullptr;
    }
    json["pressure"] = std::string(MemoryPressures::rawValue(pressure));
    json["swapOutPerSecond"] = orNull(vitals.swapOutPerSecond);
    json["cores"] = Json::array();
    for (const auto& core : vitals.cores)
        json["cores"].push_back(
            {{"index", core.index}, {"load", core.load}, {"isEfficiency", core.isEfficiency}});
    json["apps"] = Json::array();
    for (const auto& app : vitals.apps) {
        Json processes = Json::array();
        for (const auto& p : app.processes)
            processes.push_back({{"pid", p.pid},
                                 {"ppid", p.ppid > 0 ? Json(p.ppid) : Json(nullptr)},
                                 {"path", p.path},
                                 {"owner",
                                  {{"name", p.owner.name},
                                   {"bundlePath", orNull(p.owner.bundlePath)},
                                   {"isSystem", p.owner.isSystem}}},
                                 {"cpuPercent", p.cpuPercent},
                                 {"memoryBytes", p.memoryBytes}});
        json["apps"].push_back({{"name", app.name},
                                {"bundlePath", orNull(app.bundlePath)},
                                {"cpuPercent", app.cpuPercent},
                                {"memoryBytes", app.memoryBytes},
                                {"processCount", app.processCount},
                                // Without a GPU reading an app's 0 is not known.
                                {"gpuPercent", vitals.gpu ? Json(app.gpuPercent) : Json(nullptr)},
                                {"isSystem", app.isSystem},
                                {"pids", app.pids},
                                {"processes", std::move(processes)}});
    }
    return json;
}

CLI::App* addVitalsCommand(CLI::App& app, VitalsOptions& options) {
    auto* vitals =
        app.add_subcommand("vitals", "Show the machine: CPU, memory, GPU, network, disk, battery, heat");
    vitals->add_option("--interval", options.interval, "Seconds between the two samples that make rates")
        ->check(seconds(false))
        ->capture_default_str();
    vitals->add_flag("--json", options.json, "Print the vitals record as JSON");
    return vitals;
}

int runVitals(const VitalsOptions& options, std::ostream& out) {
    ProcessSampler sampler;
    SystemMonitor monitor;
    (void)monitor.sample(sampler.sample());
    std::this_thread::sleep_for(std::chrono::duration<double>(options.interval));
    auto vitals = monitor.sample(sampler.sample());
    const MemoryPressure pressure = MemoryPressures::current();
    if (options.json) {
        printJson(out, toJson(vitals, pressure));
        return 0;
    }
    out << renderVitals(vitals, pressure, Terminal::of(stdout));
    return 0;
}

}  // namespace tarvik::cli
