#include "core/analysis/Diagnosis.hpp"

#include <fmt/format.h>

#include <cmath>

#include "core/analysis/AppExplainer.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/Text.hpp"

namespace tarvik {

std::string_view Finding::rawValue(Kind kind) {
    switch (kind) {
        case Kind::memory:
            return "memory";
        case Kind::heat:
            return "heat";
        case Kind::cpu:
            return "cpu";
        case Kind::gpu:
            return "gpu";
        case Kind::battery:
            return "battery";
        case Kind::disk:
            return "disk";
        case Kind::allClear:
            return "allClear";
    }
    return "allClear";
}

std::string_view Finding::rawValue(Severity severity) {
    switch (severity) {
        case Severity::calm:
            return "calm";
        case Severity::notice:
            return "notice";
        case Severity::warning:
            return "warning";
        case Severity::critical:
            return "critical";
    }
    return "calm";
}

namespace Diagnosis {

namespace {

constexpr double fastSwap = 10485760;  // 10 MiB/s

// A number for a sentence, rounded half away from zero; nullopt for a value that is not finite,
// so that no sentence ever reads "nan" or "inf".
std::optional<std::string> rounded(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    return fmt::format("{:.0f}", std::round(value));
}

// The earliest application with the largest value; nullopt for an empty list.
template <typename Key>
std::optional<AppUsage> leader(const std::vector<AppUsage>& apps, Key key) {
    const AppUsage* best = nullptr;
    for (const auto& app : apps)
        if (!best || key(app) > key(*best)) best = &app;
    if (!best) return std::nullopt;
    return *best;
}

}  // namespace

std::vector<Finding> evaluate(const DiagnosisInputs& inputs) {
    using Kind = Finding::Kind;
    using Severity = Finding::Severity;
    const auto& apps = inputs.apps;
    auto topMemory = leader(apps, [](const AppUsage& a) { return static_cast<double>(a.memoryBytes); });
    std::vector<AppUsage> candidates;
    for (const auto& app : apps)
        if (!HeatReport::isSymptom(app.name)) candidates.push_back(app);
    auto topCPU = leader(candidates, [](const AppUsage& a) { return a.cpuPercent; });
    auto topGPU = leader(apps, [](const AppUsage& a) { return a.gpuPercent; });

    std::vector<Finding> findings;
    const double inUse = inputs.memoryTotal > 0 ? static_cast<double>(inputs.memoryUsed) /
                                                      static_cast<double>(inputs.memoryTotal)
                                                : 0;
    if (inputs.pressure != MemoryPressure::normal || inputs.swapOutPerSecond >= fastSwap ||
        inUse >= tightMemory) {
        bool critical = inputs.pressure == MemoryPressure::critical || inUse >= lowMemory;
        std::string leaderText = topMemory ? topMemory->name + " is using the most, " +
                                                 ByteFormat::short_(topMemory->memoryBytes) + ". "
                                           : "";
        std::string share = rounded(inUse * 100).value_or("");
        std::string cause = inputs.swapOutPerSecond >= fastSwap
                                ? "Linux is moving memory out to disk, which slows everything down."
                            : inUse >= tightMemory && inputs.memoryLimitedBy
                                ? share + "% of the memory limit of cgroup " + *inputs.memoryLimitedBy +
                                      " (" + ByteFormat::short_(inputs.memoryTotal) +
                                      ") is in use; at the limit the kernel kills its processes."
                            : inUse >= tightMemory && inputs.pressure == MemoryPressure::normal
                                ? share + "% of memory is in use."
                            : inputs.compressedBytes > 0 ? "Linux is compressing memory to make room."
                                                         : "Linux is dropping cached files to make room.";
        findings.push_back({Kind::memory, critical ? Severity::critical : Severity::warning,
                            critical ? "Memory is very low" : "Memory is tight", leaderText + cause,
                            topMemory});
    }

    const HeatLevel level = inputs.heat.level;
    if (level >= HeatLevel::warm) {
        std::string chip;
        if (inputs.heat.chipCelsius)
            if (auto degrees = rounded(*inputs.heat.chipCelsius))
                chip = "The chip is at " + *degrees + " °C. ";
        std::string cause = "Several apps are sharing the work.";
        if (!inputs.heat.causes.empty()) {
            const HeatCause& first = inputs.heat.causes.front();
            if (const auto* charging = std::get_if<HeatCauses::Charging>(&first)) {
                auto watts = rounded(charging->watts);
                cause = watts ? "Fast charging (" + *watts + " W) is the main cause."
                              : "Fast charging is the main cause.";
            } else {
                cause = AppExplainer::explain(std::get<HeatCauses::App>(first).usage).title +
                        " is the main cause.";
            }
        }
        std::string title = level == HeatLevel::warm  ? "Your computer is warm"
                            : level == HeatLevel::hot ? "Your computer is running hot"
                                                      : "Your computer is very hot";
        findings.push_back({Kind::heat, level == HeatLevel::warm ? Severity::warning : Severity::critical,
                            title, chip + cause, inputs.heat.culprit()});
    }

    if (inputs.systemCPU >= 70) {
        std::string share = rounded(inputs.systemCPU).value_or("");
        std::string top;
        if (topCPU)
            if (auto percent = rounded(topCPU->cpuPercent))
                top = topCPU->name + " is using the most, " + *percent + "% of a core.";
        std::string detail = (share.empty() ? "" : share + "% of the whole computer. ") + top;
        findings.push_back({Kind::cpu, inputs.systemCPU >= 90 ? Severity::warning : Severity::notice,
                            "The processor is busy", detail, topCPU});
    }

    if (inputs.gpu >= 60) {
        std::string detail;
        if (topGPU)
            if (auto percent = rounded(topGPU->gpuPercent))
                detail = topGPU->name + " is using " + *percent + "% of it.";
        if (auto busy = rounded(inputs.gpu); busy && inputs.gpuName)
            detail = Text::filled("{} is {}% busy.", {*inputs.gpuName, *busy}) + (detail.empty() ? "" : " ") +
                     detail;
        findings.push_back({Kind::gpu, Severity::notice, "The graphics chip is busy", detail, topGPU});
    }

    if (inputs.onBattery && inputs.systemWatts && *inputs.systemWatts >= 25) {
        // Linux keeps no power reading per app, so no app is named.
        std::string drawing;
        if (auto watts = rounded(*inputs.systemWatts)) drawing = "Your computer is drawing " + *watts + " W.";
        findings.push_back(
            {Kind::battery, Severity::warning, "Battery is draining fast", drawing, std::nullopt});
    }

    if (inputs.disk && inputs.disk->total != 0 &&
        static_cast<double>(inputs.disk->free) / static_cast<double>(inputs.disk->total) < 0.1) {
        findings.push_back(
            {Kind::disk, Severity::notice, "Your disk is almost full",
             ByteFormat::storage(inputs.disk->free) + " left. Linux needs free space to run smoothly.",
             std::nullopt});
    }

    if (findings.empty())
        findings.push_back(
            {Kind::allClear, Severity::calm, "All clear", "Nothing unusual right now.", std::nullopt});
    return findings;
}

}  // namespace Diagnosis

}  // namespace tarvik
