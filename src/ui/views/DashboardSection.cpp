#include "ui/views/DashboardSection.hpp"

#include <QCoreApplication>

namespace tarvik::ui::DashboardSections {

namespace {

struct Row {
    std::string_view raw, title, purpose, symbol;
    TintToken tint;
};

Row row(DashboardSection section) {
    switch (section) {
        case DashboardSection::overview:
            return {"overview", QT_TRANSLATE_NOOP("DashboardSection", "Overview"),
                    QT_TRANSLATE_NOOP("DashboardSection",
                                      "What's going on right now, and which app is behind it."),
                    "gauge", TintToken::blue};
        case DashboardSection::cpu:
            return {"cpu", QT_TRANSLATE_NOOP("DashboardSection", "CPU"),
                    QT_TRANSLATE_NOOP("DashboardSection",
                                      "Which apps keep the processor busy, now and over the last hour."),
                    "cpu", TintToken::orange};
        case DashboardSection::memory:
            return {"memory", QT_TRANSLATE_NOOP("DashboardSection", "Memory"),
                    QT_TRANSLATE_NOOP("DashboardSection",
                                      "What's using memory, and which apps to quit to free it."),
                    "memorychip", TintToken::purple};
        case DashboardSection::gpu:
            return {"gpu", QT_TRANSLATE_NOOP("DashboardSection", "GPU"),
                    QT_TRANSLATE_NOOP("DashboardSection",
                                      "What's drawing on the graphics chip: video, games, design apps."),
                    "chart.bar.fill", TintToken::pink};
        case DashboardSection::disk:
            return {"disk", QT_TRANSLATE_NOOP("DashboardSection", "Disk"),
                    QT_TRANSLATE_NOOP("DashboardSection",
                                      "What's filling your disk, and caches you can clear safely."),
                    "internaldrive", TintToken::teal};
        case DashboardSection::network:
            return {
                "network", QT_TRANSLATE_NOOP("DashboardSection", "Network"),
                QT_TRANSLATE_NOOP("DashboardSection",
                                  "How fast you're downloading and uploading, and which apps are doing it."),
                "network", TintToken::indigo};
        case DashboardSection::battery:
            return {
                "battery", QT_TRANSLATE_NOOP("DashboardSection", "Battery"),
                QT_TRANSLATE_NOOP("DashboardSection", "Charge, health, and the apps draining it fastest."),
                "battery.100", TintToken::green};
        case DashboardSection::heat:
            return {"heat", QT_TRANSLATE_NOOP("DashboardSection", "Heat"),
                    QT_TRANSLATE_NOOP("DashboardSection", "How hot the chip is, and what's heating it up."),
                    "thermometer.medium", TintToken::red};
        case DashboardSection::projects:
            return {"projects", QT_TRANSLATE_NOOP("DashboardSection", "Projects"),
                    QT_TRANSLATE_NOOP("DashboardSection",
                                      "Your local dev servers, grouped by project, with stop and open."),
                    "folder.fill", TintToken::amber};
        case DashboardSection::settings:
            break;
    }
    return {"settings", QT_TRANSLATE_NOOP("DashboardSection", "Settings"),
            QT_TRANSLATE_NOOP("DashboardSection", "Alerts, launch at login and what the menu bar shows."),
            "gearshape", TintToken::slate};
}

}  // namespace

std::string_view rawValue(DashboardSection section) {
    return row(section).raw;
}

std::string_view title(DashboardSection section) {
    return row(section).title;
}

std::string_view purpose(DashboardSection section) {
    return row(section).purpose;
}

QString titleText(DashboardSection section) {
    return QCoreApplication::translate("DashboardSection", row(section).title.data());
}

QString purposeText(DashboardSection section) {
    return QCoreApplication::translate("DashboardSection", row(section).purpose.data());
}

std::string_view symbol(DashboardSection section) {
    return row(section).symbol;
}

TintToken tint(DashboardSection section) {
    return row(section).tint;
}

}  // namespace tarvik::ui::DashboardSections
