#include "ui/icons/Icons.hpp"

#include <gtest/gtest.h>

#include <QImage>

#include "core/analysis/HeatReport.hpp"
#include "core/analysis/Insights.hpp"
#include "core/servers/ServerClassifier.hpp"
#include "support/TempDir.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik::ui {
namespace {

// What the views ask for by name: every symbol, the ones the core names (server kinds, the heat
// card, the insight lines), and the brands of the kinds.
std::vector<std::pair<std::string, QPixmap>> everyDrawing(const QColor& colour, int size) {
    std::vector<std::string> names = Icons::symbolNames();
    for (const auto& name : ServerClassifier::symbols()) names.push_back(name);
    for (auto level : {HeatLevel::cool, HeatLevel::hot}) names.emplace_back(icon(level));
    const Server server{.port = 3000, .address = "*"};
    for (const Insight& insight :
         std::vector<Insight>{Insights::MemoryGrowth{server, 1, 1}, Insights::CpuHog{server, 90, 1},
                              Insights::Exposed{{server}}})
        if (auto line = Insights::attentionLine(insight)) names.push_back(line->icon);
    names.push_back(Insights::idleBanner({{server}, 1, 0, {3000}, 7200}).icon);
    std::vector<std::pair<std::string, QPixmap>> drawings;
    for (const auto& name : names) drawings.emplace_back(name, Icons::symbol(name, colour, size));
    for (const auto& kind : Icons::brandedKindNames()) {
        std::string slug = Icons::brandSlug(kind).value_or("(none)");
        drawings.emplace_back(kind + " " + slug, Icons::brand(slug, colour, size));
    }
    return drawings;
}

TEST(Icons, DrawsEveryNameInTheAskedColour) {
    const QColor colour(0x12, 0x80, 0xe0);
    // Large enough that the thinnest strokes cover whole pixels.
    for (const auto& [name, pixmap] : everyDrawing(colour, 48)) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(pixmap.isNull());
        QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(image.size(), QSize(48, 48));
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (QColor pixel = image.pixelColor(x, y); pixel.alpha() == 255) {
                    ++opaque;
                    EXPECT_EQ(pixel, colour) << x << "," << y;
                }
        EXPECT_GT(opaque, 0);
    }
}

TEST(Icons, RefusesNamesWithoutADrawing) {
    for (std::string_view name : {"no.such.symbol", "", "../brands/vite", "hard-drives.svg"}) {
        EXPECT_FALSE(Icons::hasSymbol(name)) << name;
        EXPECT_TRUE(Icons::symbol(name, Qt::black, 16).isNull()) << name;
    }
    EXPECT_FALSE(Icons::brandSlug("Java"));
    EXPECT_TRUE(Icons::brand("../phosphor/x", Qt::black, 16).isNull());
}

TEST(Icons, ServerIconPrefersBrandThenApplicationThenSymbol) {
    test::TempDir dir;
    QImage red(40, 20, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(QString::fromStdString(dir / "app.png")));
    dir.write("app.desktop", "[Desktop Entry]\nName=App\nIcon=" + (dir / "app.png") + "\n");
    dir.write("themed.desktop", "[Desktop Entry]\nIcon=tarvik-test-no-such-icon\n");
    const std::string app = dir / "app.desktop", themed = dir / "themed.desktop";
    constexpr int size = 32;
    constexpr qreal ratio = 2;

    const ServerKind vite{"Vite", "lightning-fill", TintToken::purple};
    const ServerKind java{"Java", "coffee-fill", TintToken::orange};
    const ServerKind unknown{"Custom", "no.such.symbol", TintToken::slate};
    auto tint = [](const ServerKind& kind, bool dark) { return Theme::tint(kind.tint, dark); };
    const struct {
        const char* what;
        ServerKind kind;
        std::optional<std::string> entry;
        bool dark;
        QPixmap expected;
    } cases[] = {
        {"brand", vite, std::nullopt, false, Icons::tiledBrand("vite", tint(vite, false), size, ratio)},
        {"brand before application", vite, app, true,
         Icons::tiledBrand("vite", tint(vite, true), size, ratio)},
        {"application", java, app, false, Icons::applicationIcon(app, size, ratio)},
        {"symbol", java, std::nullopt, true, Icons::tiledSymbol(java.symbol, tint(java, true), size, ratio)},
        {"missing theme icon", java, themed, false,
         Icons::tiledSymbol(java.symbol, tint(java, false), size, ratio)},
        {"symbol without drawing", unknown, std::nullopt, false,
         Icons::tiledSymbol("hard-drives", tint(unknown, false), size, ratio)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Server server;
        server.kind = c.kind;
        server.desktopEntryPath = c.entry;
        ASSERT_FALSE(c.expected.isNull());
        EXPECT_EQ(Icons::serverIcon(server, size, c.dark, ratio).toImage(), c.expected.toImage());
    }

    // The application's image, fitted into the square by its width and centred.
    QImage icon = Icons::applicationIcon(app, size, ratio).toImage();
    ASSERT_EQ(icon.size(), QSize(64, 64));
    EXPECT_EQ(icon.pixelColor(32, 32), QColor(Qt::red));
    EXPECT_EQ(icon.pixelColor(32, 4).alpha(), 0);
}

}  // namespace
}  // namespace tarvik::ui
