#include "ui/dashboard/PageSentence.hpp"
#include "ui/ShownText.hpp"

#include <QCoreApplication>
#include <cmath>

namespace tarvik::ui::PageSentence {

namespace {

std::string text(const QString& translated) {
    return translated.toStdString();
}

}  // namespace

std::string of(const std::vector<Finding>& findings, Finding::Kind kind, const std::string& fallback) {
    for (const auto& finding : findings)
        if (finding.kind == kind)
            return text(QCoreApplication::translate("PageSentence", "%1. %2")
                            .arg(qs(finding.title), qs(finding.detail)));
    return fallback;
}

std::string cpuFallback(int cores) {
    return text(QCoreApplication::translate(
                    "PageSentence",
                    "The processor has plenty of headroom. 100% here means the whole computer, all %1 cores.")
                    .arg(cores));
}

std::string memoryFallback(MemoryPressure pressure) {
    if (pressure != MemoryPressure::normal)
        return text(QCoreApplication::translate("PageSentence", "Memory is tight."));
    return text(QCoreApplication::translate(
        "PageSentence",
        "Memory is fine. Linux keeps recent files in memory to make apps faster, and hands that "
        "space back when needed."));
}

std::string gpuFallback() {
    return text(QCoreApplication::translate("PageSentence",
                                            "The graphics chip draws your screen, video and effects."));
}

std::string heatFallback() {
    return text(QCoreApplication::translate(
        "PageSentence",
        "Temperature is normal. The processor slows itself down only when it nears its own limit."));
}

std::string batteryStatus(const BatteryStatus& battery) {
    if (battery.isCharging)
        return text(battery.watts ? QCoreApplication::translate("PageSentence", "Charging at %1 W.")
                                        .arg(std::lround(*battery.watts))
                                  : QCoreApplication::translate("PageSentence", "Charging."));
    return text(battery.onPower ? QCoreApplication::translate("PageSentence", "Plugged in and not charging.")
                                : QCoreApplication::translate("PageSentence", "Running on battery."));
}

}  // namespace tarvik::ui::PageSentence
