#include "cli/GpuCards.hpp"

#include <fmt/format.h>

#include "cli/CliSupport.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/Unicode.hpp"

namespace tarvik::cli {

std::string gpuCardText(const GpuDevice& card) {
    std::vector<std::string> parts;
    if (card.busyPercent) parts.push_back(fmt::format("{:.0f}% busy", *card.busyPercent));
    if (card.memoryUsedBytes && card.memoryTotalBytes)
        parts.push_back("memory " + ByteFormat::short_(*card.memoryUsedBytes) + " of " +
                        ByteFormat::short_(*card.memoryTotalBytes));
    if (card.celsius) parts.push_back(fmt::format("{:.0f} °C", *card.celsius));
    if (card.watts)
        parts.push_back(card.powerLimitWatts
                            ? fmt::format("{:.1f} W of {:.1f} W", *card.watts, *card.powerLimitWatts)
                            : fmt::format("{:.1f} W", *card.watts));
    if (!card.processes.empty())
        parts.push_back(
            fmt::format("{} process{}", card.processes.size(), card.processes.size() == 1 ? "" : "es"));
    std::string text = card.name.empty() ? "Graphics card" : Unicode::visible(card.name);
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? ": " : ", ") + parts[i];
    return text;
}

nlohmann::ordered_json gpuCardJson(const GpuDevice& card) {
    auto processes = nlohmann::ordered_json::array();
    for (const auto& process : card.processes)
        processes.push_back({{"pid", process.pid},
                             {"busyPercent", orNull(process.busyPercent)},
                             {"memoryBytes", orNull(process.memoryBytes)}});
    return {{"name", card.name.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(card.name)},
            {"busyPercent", orNull(card.busyPercent)},
            {"memoryBusyPercent", orNull(card.memoryBusyPercent)},
            {"memoryUsedBytes", orNull(card.memoryUsedBytes)},
            {"memoryTotalBytes", orNull(card.memoryTotalBytes)},
            {"celsius", orNull(card.celsius)},
            {"watts", orNull(card.watts)},
            {"powerLimitWatts", orNull(card.powerLimitWatts)},
            {"processes", std::move(processes)}};
}

}  // namespace tarvik::cli
