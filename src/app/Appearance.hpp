#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPalette>

#include "ui/linux/ColorSchemeSetting.hpp"

namespace tarvik::app {

// Keeps the application's palette in step with the desktop's light or dark preference, so that
// the panel, the dashboard and the share card switch with it. Without a preference the palette
// the platform gave at the start stays. GUI thread only.
class Appearance : public QObject {
    Q_OBJECT

public:
    // Follows the settings portal on `bus`.
    explicit Appearance(QDBusConnection bus, QObject* parent = nullptr);
    ~Appearance() override;

    [[nodiscard]] const ui::ColorSchemeSetting& setting() const { return m_setting; }

private:
    void apply(ui::ColorSchemeSetting::Scheme scheme);

    QPalette m_platform;
    ui::ColorSchemeSetting m_setting;
};

}  // namespace tarvik::app
