#include "app/Appearance.hpp"

#include <QApplication>

#include "ui/views/Theme.hpp"

namespace tarvik::app {

Appearance::Appearance(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_platform(QApplication::palette()), m_setting(std::move(bus)) {
    connect(&m_setting, &ui::ColorSchemeSetting::changed, this, &Appearance::apply);
}

Appearance::~Appearance() {
    QApplication::setPalette(m_platform);
}

void Appearance::apply(ui::ColorSchemeSetting::Scheme scheme) {
    using Scheme = ui::ColorSchemeSetting::Scheme;
    QApplication::setPalette(scheme == Scheme::none ? m_platform
                                                    : ui::Theme::palette(scheme == Scheme::dark));
}

}  // namespace tarvik::app
