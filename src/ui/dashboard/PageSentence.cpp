#include "ui/dashboard/PageSentence.hpp"

#include <cmath>

namespace tarvik::ui::PageSentence {

std::string of(const std::vector<Finding>& findings, Finding::Kind kind, const std::string& fallback) {
    for (const auto& finding : findings)
        if (finding.kind == kind) return finding.title + ". " + finding.detail;
    return fallback;
}

std::string cpuFallback(int cores) {
    return "The processor has plenty of headroom. 100% here means the whole computer, all " +
           std::to_string(cores) + " cores.";
}

std::string memoryFallback(MemoryPressure pressure) {
    if (pressure != MemoryPressure::normal) return "Memory is tight.";
    return "Memory is fine. Linux keeps recent files in memory to make apps faster, and hands that "
           "space back when needed.";
}

std::string gpuFallback() {
    return "The graphics chip draws your screen, video and effects.";
}

std::string heatFallback() {
    return "Temperature is normal. The processor slows itself down only when it nears its "
           "own limit.";
}

std::string batteryStatus(const BatteryStatus& battery) {
    if (battery.isCharging) {
        std::string text = "Charging";
        if (battery.watts) text += " at " + std::to_string(std::lround(*battery.watts)) + " W";
        return text + ".";
    }
    return battery.onPower ? "Plugged in and not charging." : "Running on battery.";
}

}  // namespace tarvik::ui::PageSentence
