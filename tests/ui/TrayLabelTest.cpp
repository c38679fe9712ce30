#include <gtest/gtest.h>

#include "core/support/ByteFormat.hpp"
#include "ui/Fakes.hpp"
#include "ui/ServerStore.hpp"
#include "ui/views/TrayLabel.hpp"

namespace tarvik {
namespace {

using ui::TrayLabel;

Server dev(std::int32_t pid, int port, std::string address = "127.0.0.1") {
    Server server;
    server.pid = pid;
    server.port = port;
    server.address = std::move(address);
    server.kind = {"Vite", "bolt.fill"};
    server.category = ServerCategory::dev;
    server.memoryBytes = 300u << 20;
    return server;
}

TEST(TrayLabel, ShowsTheChosenFigureAndTheMostUrgentWarning) {
    struct Case {
        std::vector<Server> servers;
        ThermalLevel thermal;
        MemoryPressure pressure;
        ui::MenuBarDisplay display;
        TrayLabel expected;
    };
    const auto memory = "900MB";
    Server besideLoopback = dev(1, 3000);
    besideLoopback.addresses = {"127.0.0.1", "::"};
    ASSERT_EQ(ByteFormat::short_(900u << 20), "900 MB");
    const std::vector<Case> cases = {
        {{},
         ThermalLevel::nominal,
         MemoryPressure::normal,
         ui::MenuBarDisplay::both,
         {"", TrayLabel::Warning::none}},
        {{dev(1, 3000), dev(2, 3001), dev(3, 3002)},
         ThermalLevel::nominal,
         MemoryPressure::normal,
         ui::MenuBarDisplay::both,
         {std::string("3 · ") + memory, TrayLabel::Warning::none}},
        {{dev(1, 3000), dev(1, 3001)},
         ThermalLevel::nominal,
         MemoryPressure::normal,
         ui::MenuBarDisplay::count,
         {"1", TrayLabel::Warning::none}},
        {{dev(1, 3000, "0.0.0.0")},
         ThermalLevel::critical,
         MemoryPressure::normal,
         ui::MenuBarDisplay::memory,
         {"300MB", TrayLabel::Warning::heat}},
        {{dev(1, 3000, "::")},
         ThermalLevel::nominal,
         MemoryPressure::normal,
         ui::MenuBarDisplay::count,
         {"1", TrayLabel::Warning::attention}},
        // A LAN address is reachable too, and so is a wildcard beside a loopback bind.
        {{dev(1, 3000, "192.168.1.5")},
         ThermalLevel::nominal,
         MemoryPressure::normal,
         ui::MenuBarDisplay::count,
         {"1", TrayLabel::Warning::attention}},
        {{besideLoopback},
         ThermalLevel::nominal,
         MemoryPressure::normal,
         ui::MenuBarDisplay::count,
         {"1", TrayLabel::Warning::attention}},
        {{},
         ThermalLevel::nominal,
         MemoryPressure::critical,
         ui::MenuBarDisplay::count,
         {"", TrayLabel::Warning::attention}},
    };
    for (const auto& [servers, thermal, pressure, display, expected] : cases) {
        test::FakeWorld world;
        ui::SamplingResult sampled;
        sampled.servers = servers;
        sampled.vitals.thermal = thermal;
        sampled.pressure = pressure;
        world.sampling->script = {sampled};
        ui::ServerStore store(world.services());
        store.setMenuBarDisplay(display);
        store.refresh();
        EXPECT_EQ(TrayLabel::of(store), expected) << expected.text;
    }
}

TEST(TrayLabel, GrowsWithItsTextAndWarning) {
    const int bare = TrayLabel{}.render(22, true).width();
    const int counted = TrayLabel{"12", TrayLabel::Warning::none}.render(22, true).width();
    const int warned = TrayLabel{"12", TrayLabel::Warning::heat}.render(22, true).width();
    EXPECT_LT(bare, counted);
    EXPECT_LT(counted, warned);
}

}  // namespace
}  // namespace tarvik
