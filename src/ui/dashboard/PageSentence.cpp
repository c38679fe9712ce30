#include "ui/dashboard/PageSentence.hpp"

#include <QCoreApplication>
#include <cmath>

#include "core/support/Words.hpp"

namespace tarvik::ui::PageSentence {

namespace {

std::string text(const QString& translated) {
    return translated.toStdString();
}

}  // namespace

std::string worded(const QString& text) {
    return Words::text(text.toStdString());
}

QString wordedText(const QString& text) {
    return QString::fromStdString(worded(text));
}

std::string of(const std::vector<Finding>& findings, Finding::Kind kind, const std::string& fallback) {
    for (const auto& finding : findings)
        if (finding.kind == kind)
            return text(
                QCoreApplication::translate("PageSentence", "%1. %2")
                    .arg(QString::fromStdString(finding.title), QString::fromStdString(finding.detail)));
    return fallback;
}

std::string cpuFallback(int cores) {
    return worded(QCoreApplication::translate(
                      "PageSentence",
                      "The processor has plenty of headroom. 100% here means the whole Mac, all %1 cores.")
                      .arg(cores));
}

std::string memoryFallback(MemoryPressure pressure) {
    if (pressure != MemoryPressure::normal)
        return text(QCoreApplication::translate("PageSentence", "Memory is tight."));
    return worded(QCoreApplication::translate(
        "PageSentence",
        "Memory is fine. macOS keeps recent files in memory to make apps faster, and hands that "
        "space back when needed."));
}

std::string gpuFallback() {
    return text(QCoreApplication::translate("PageSentence",
                                            "The graphics chip draws your screen, video and effects."));
}

std::string heatFallback() {
    if (Words::current() == Words::Platform::macOS)
        return text(QCoreApplication::translate(
            "PageSentence",
            "Temperature is normal. Apple silicon slows itself down only above about 95 °C."));
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
