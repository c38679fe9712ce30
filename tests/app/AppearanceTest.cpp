#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusVariant>
#include <QProcess>
#include <QTranslator>
#include <filesystem>
#include <memory>

#include "app/AppTesting.hpp"
#include "app/Appearance.hpp"
#include "app/PanelWindow.hpp"
#include "app/Translations.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
using Scheme = ui::ColorSchemeSetting::Scheme;

// The freedesktop settings portal, publishing only the desktop's colour scheme (the portal's
// number: 0 none, 1 dark, 2 light), wrapped the way the real portal wraps it.
class FakeSettingsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    uint scheme = 1;
    // Changes the scheme and says so on the bus.
    void setScheme(uint number) {
        scheme = number;
        emit SettingChanged("org.freedesktop.appearance", "color-scheme", QDBusVariant(scheme));
    }

public Q_SLOTS:
    QDBusVariant Read(const QString& group, const QString& key) {
        if (group != "org.freedesktop.appearance" || key != "color-scheme") return QDBusVariant(QString());
        // The portal's Read answers a variant that holds the variant of the value.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme)));
    }

Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

TEST(ColorSchemeSetting, ReadsThePortalsNumbers) {
    const std::pair<uint, Scheme> cases[] = {
        {0, Scheme::none}, {1, Scheme::dark}, {2, Scheme::light}, {3, Scheme::none}, {~0u, Scheme::none}};
    for (const auto& [value, scheme] : cases)
        EXPECT_EQ(ui::ColorSchemeSetting::fromPortal(value), scheme) << value;
}

TEST(Appearance, KeepsThePlatformsPaletteWithoutAPortalAndFollowsTheDesktopsColourSchemeWithOne) {
    if (!test::AppOnBus::possible()) GTEST_SKIP() << "needs dbus-daemon";
    test::PrivateBus bus;
    const QPalette platform = QApplication::palette();
    const bool platformDark = ui::Theme::isDark(platform);
    {
        app::Appearance appearance(bus.connect());
        ASSERT_TRUE(test::pumpUntil([&] { return appearance.setting().answered(); }, 10s));
        EXPECT_EQ(appearance.setting().scheme(), Scheme::none);
        EXPECT_EQ(QApplication::palette(), platform) << "changed without a portal";
    }
    auto connection = bus.connect();
    FakeSettingsPortal portal;
    ASSERT_TRUE(test::publish(connection, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                              portal));
    test::FakeWorld desk;
    ui::ServerStore store(test::liveMachine(desk));
    app::PanelWindow panel(store, app::PanelWindow::Kind::popup);
    {
        // The app's own connection to the bus, as the session bus would be.
        app::Appearance appearance(bus.connect());
        EXPECT_TRUE(test::pumpUntil([&] { return appearance.setting().scheme() == Scheme::dark; }, 10s))
            << "the preference read at the start was not taken";
        EXPECT_TRUE(ui::Theme::isDark(QApplication::palette()));
        EXPECT_TRUE(ui::Theme::isDark(&panel));

        portal.setScheme(2);
        EXPECT_TRUE(test::pumpUntil([&] { return appearance.setting().scheme() == Scheme::light; }, 10s))
            << "the change was not followed";
        EXPECT_FALSE(ui::Theme::isDark(&panel));

        portal.setScheme(1);
        ASSERT_TRUE(test::pumpUntil([&] { return ui::Theme::isDark(&panel); }, 10s));
        // No preference: back to the platform's own palette.
        portal.setScheme(0);
        EXPECT_TRUE(test::pumpUntil([&] { return appearance.setting().scheme() == Scheme::none; }, 10s));
        EXPECT_EQ(ui::Theme::isDark(&panel), platformDark);
    }
    EXPECT_EQ(ui::Theme::isDark(QApplication::palette()), platformDark);
}

TEST(Translations, LoadsTheSystemLanguageFromTheInstallationsDataFolderAndElseStaysEnglish) {
    const QString lrelease = TARVIK_LRELEASE;
    if (lrelease.isEmpty()) GTEST_SKIP() << "needs lrelease (qt6-l10n-tools)";
    // An installation laid out as the package lays it out: bin/ and share/tarvik/translations/.
    test::TempDir prefix;
    const QString context = app::PanelWindow::staticMetaObject.className();
    prefix.write("tarvik_de.ts", ("<?xml version=\"1.0\" encoding=\"utf-8\"?><!DOCTYPE TS>"
                                  "<TS version=\"2.1\" language=\"de\"><context><name>" +
                                  context.toStdString() +
                                  "</name><message><source>Tarvik</source>"
                                  "<translation>Tarvik auf Deutsch</translation></message></context></TS>"));
    std::filesystem::create_directories(prefix.path() / "share/tarvik/translations");
    ASSERT_EQ(QProcess::execute(lrelease,
                                {"-silent", QString::fromStdString(prefix / "tarvik_de.ts"), "-qm",
                                 QString::fromStdString(prefix / "share/tarvik/translations/tarvik_de.qm")}),
              0);
    const QStringList folders = app::translationFolders(QString::fromStdString(prefix / "bin"));

    const std::pair<const char*, const char*> cases[] = {{"de_DE", "Tarvik auf Deutsch"},
                                                         {"fr_FR", "Tarvik"}};
    for (const auto& [locale, title] : cases) {
        const std::unique_ptr<QTranslator> translation(app::installTranslation(QLocale(locale), folders));
        EXPECT_EQ(app::PanelWindow::tr("Tarvik"), title) << locale;
    }
    EXPECT_EQ(app::PanelWindow::tr("Tarvik"), "Tarvik") << "the translation outlived its translator";
}

}  // namespace
}  // namespace tarvik

#include "AppearanceTest.moc"
