#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "ui/Fakes.hpp"
#include "ui/ServerStore.hpp"
#include "ui/store/StoreSettings.hpp"
#include "ui/views/TrayLabel.hpp"

namespace tarvik {
namespace {

using ui::TrayLabel;

Server dev(std::int32_t pid, int port, std::string address = "127.0.0.1") {
    Server server = test::devServer(pid, port);
    server.address = std::move(address);
    return server;
}

// Which addresses are reachable and how servers make rows is ServerTest's and ServerGroupTest's.
TEST(TrayLabel, ShowsTheChosenFigureAndTheMostUrgentWarning) {
    using Display = ui::MenuBarDisplay;
    using Warning = TrayLabel::Warning;
    struct Case {
        std::vector<Server> servers;
        Display display;
        TrayLabel expected;
        ThermalLevel thermal = ThermalLevel::nominal;
        MemoryPressure pressure = MemoryPressure::normal;
    };
    const Case cases[] = {
        {{}, Display::both, {"", Warning::none, 0}},
        {{dev(1, 3000), dev(2, 3001), dev(3, 3002)}, Display::both, {"3 · 600MB", Warning::none, 3}},
        {{dev(1, 3000, "0.0.0.0")}, Display::memory, {"200MB", Warning::heat, 1}, ThermalLevel::critical},
        {{dev(1, 3000, "::")}, Display::count, {"1", Warning::attention, 1}},
        {{}, Display::count, {"", Warning::attention, 0}, ThermalLevel::nominal, MemoryPressure::critical}};
    for (const auto& c : cases) {
        test::FakeWorld world;
        auto sampled = test::sampled(c.servers);
        sampled.vitals.thermal = c.thermal;
        sampled.pressure = c.pressure;
        world.sampling->script = {sampled};
        ui::ServerStore store(world.services());
        store.settings().setMenuBarDisplay(c.display);
        store.refresh();
        EXPECT_EQ(TrayLabel::of(store), c.expected) << c.expected.text;
    }
}

struct Drawn {
    int top = -1, bottom = -1;  // rows holding drawn pixels
    int contrasting = 0;        // pixels far from the ground's brightness once laid on it
};

Drawn measure(const QPixmap& icon, const QColor& ground) {
    QImage laid(icon.size(), QImage::Format_ARGB32);
    laid.fill(ground);
    QPainter(&laid).drawPixmap(0, 0, icon);
    const QImage alone = icon.toImage().convertToFormat(QImage::Format_ARGB32);
    Drawn drawn;
    for (int y = 0; y < alone.height(); ++y)
        for (int x = 0; x < alone.width(); ++x) {
            if (qAlpha(alone.pixel(x, y)) < 64) continue;
            if (drawn.top < 0) drawn.top = y;
            drawn.bottom = y;
            if (std::abs(qGray(laid.pixel(x, y)) - qGray(ground.rgb())) > 96) ++drawn.contrasting;
        }
    return drawn;
}

const std::vector<std::pair<const char*, TrayLabel>> variants = {
    {"bare", {}},
    {"count", {"3", TrayLabel::Warning::none, 3}},
    {"two digits", {"12", TrayLabel::Warning::none, 12}},
    {"attention", {"12", TrayLabel::Warning::attention, 12}},
    {"heat", {"", TrayLabel::Warning::heat, 0}}};

// Each variant at each size is square, fills half its height, reads on light and dark bars and
// differs from the others; every size is in the icon a host picks from.
TEST(TrayIcon, IsSquareFillsItsHeightReadsOnLightAndDarkBarsAndTellsTheVariantsApart) {
    const QColor darkBar(0x20, 0x20, 0x20), lightBar(0xf0, 0xf0, 0xf0);
    for (int size : TrayLabel::sizes) {
        std::vector<QImage> images;
        for (const auto& [name, label] : variants) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(size));
            const QPixmap icon = label.icon(size);
            ASSERT_EQ(icon.size(), QSize(size, size));
            for (const auto& ground : {darkBar, lightBar}) {
                const Drawn drawn = measure(icon, ground);
                EXPECT_GE(drawn.bottom - drawn.top + 1, size / 2);
                EXPECT_GE(drawn.contrasting, size * size / 10) << ground.name().toStdString();
            }
            // Drawn for a known bar, it reads on that bar.
            EXPECT_GE(measure(label.icon(size, TrayLabel::Bar::light), lightBar).contrasting,
                      size * size / 10);
            EXPECT_GE(measure(label.icon(size, TrayLabel::Bar::dark), darkBar).contrasting, size * size / 10);
            for (std::size_t other = 0; other < images.size(); ++other)
                EXPECT_NE(icon.toImage(), images[other]) << variants[other].first;
            images.push_back(icon.toImage());
        }
        EXPECT_TRUE(variants[1].second.icons().availableSizes().contains(QSize(size, size)));
    }
}

}  // namespace
}  // namespace tarvik
