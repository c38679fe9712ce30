#include <gtest/gtest.h>

#include <QAction>
#include <QDateTime>
#include <QImage>
#include <QMenu>
#include <filesystem>

#include "core/support/ByteFormat.hpp"
#include "support/TempDir.hpp"
#include "ui/Fakes.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/dashboard/DashboardView.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/store/StoreSettings.hpp"
#include "ui/views/PanelView.hpp"
#include "ui/views/ShareCard.hpp"
#include "ui/views/ShareMenu.hpp"

namespace tarvik {
namespace {

using test::FakeWorld;
using test::settle;
using test::shownTexts;
using ui::ServerStore;
using ui::ShareCard;
using ui::ShareMenu;

// 2026-12-07 09:18:19.640 on this machine's clock, whatever its time zone.
Date localMorning() {
    const QDateTime local(QDate(2026, 12, 7), QTime(9, 18, 19, 640));
    return Date(std::chrono::milliseconds(local.toMSecsSinceEpoch()));
}

// The preview machine behind fakes, with the Downloads folder in a scratch directory.
class ShareTest : public testing::Test {
protected:
    ShareTest() : store(world.services()) {
        store.settings().setHasOnboarded(true);
        world.desktop->downloads = downloads.path().string();
        // The preview's hour of readings ends at the morning.
        world.clock->time = localMorning() - std::chrono::minutes(62);
        loadPreview(world, store);
    }

    FakeWorld world;
    ServerStore store;
    test::TempDir downloads;
};

TEST(ShareCardSentence, SaysServerOnlyForOne) {
    const std::pair<int, std::string> cases[] = {
        {0, " across 0 servers"}, {1, " across 1 server"}, {2, " across 2 servers"}};
    for (const auto& [count, ending] : cases)
        EXPECT_EQ(ShareCard::sentence(300ull << 20, count).toStdString(),
                  ByteFormat::short_(300ull << 20) + ending);
}

TEST_F(ShareTest, TheCardShowsTheFootprintAndTheLargestProjectsWithTheRestSummedUp) {
    std::vector<ProjectUsage> projects;
    for (int i = 0; i < 8; ++i)
        projects.push_back({"project" + std::to_string(i), (8ull - i) << 20, i == 0 ? 1 : 2});
    ShareCard card(store.footprint(), projects, 14, ui::Theme::palette(false));
    card.setAttribute(Qt::WA_DontShowOnScreen);
    card.show();
    const QStringList shown = shownTexts(card);
    EXPECT_TRUE(shown.contains(ShareCard::sentence(store.footprint().devBytes(), 14)));
    for (const char* text : {"project0", "project5", "1 server", "2 servers", "and 2 more projects"})
        EXPECT_TRUE(shown.contains(text)) << text;
    EXPECT_FALSE(shown.contains("project6"));
    // Nothing spills over the card's edges.
    for (auto* label : card.findChildren<QLabel*>()) {
        const QRect area(label->mapTo(&card, QPoint(0, 0)), label->size());
        EXPECT_TRUE(card.rect().contains(area)) << label->text().toStdString();
    }
}

TEST_F(ShareTest, RendersAPictureInEachAppearance) {
    const QByteArray light = ShareMenu::renderPNG(store, ui::Theme::palette(false));
    const QByteArray dark = ShareMenu::renderPNG(store, ui::Theme::palette(true));
    QImage lightImage, darkImage;
    ASSERT_TRUE(lightImage.loadFromData(light, "PNG"));
    ASSERT_TRUE(darkImage.loadFromData(dark, "PNG"));
    for (const QImage* image : {&lightImage, &darkImage}) EXPECT_EQ(image->size(), QSize(1200, 630));
    // The bottom-right corner is plain ground in both.
    EXPECT_GT(lightImage.pixelColor(1195, 625).lightness(), 200);
    EXPECT_LT(darkImage.pixelColor(1195, 625).lightness(), 60);
}

TEST_F(ShareTest, SaveImageWritesIntoDownloadsAndKeepsAnEarlierImageOfTheSameSecond) {
    const QByteArray png = ShareMenu::renderPNG(store, ui::Theme::palette(false));
    store.actions().saveImage(png);
    const auto first = downloads.path() / "Tarvik 2026-12-07T09.18.19.png";
    EXPECT_EQ(test::readFile(first), png.toStdString());
    EXPECT_EQ(store.toast(), "Saved Tarvik 2026-12-07T09.18.19.png to Downloads.");

    store.actions().saveImage("another picture");
    const auto second = downloads.path() / "Tarvik 2026-12-07T09.18.19 2.png";
    EXPECT_EQ(test::readFile(second), "another picture");
    EXPECT_EQ(test::readFile(first), png.toStdString());
    EXPECT_EQ(store.toast(), "Saved Tarvik 2026-12-07T09.18.19 2.png to Downloads.");
}

TEST_F(ShareTest, NothingHappensWithoutAPictureOrADownloadsFolder) {
    store.actions().saveImage({});
    store.actions().copyImage({});
    EXPECT_FALSE(store.toast());
    EXPECT_TRUE(world.desktop->calls.empty());
    EXPECT_TRUE(std::filesystem::is_empty(downloads.path()));

    world.desktop->downloads.reset();
    store.actions().saveImage(ShareMenu::renderPNG(store, ui::Theme::palette(false)));
    EXPECT_FALSE(store.toast());
    EXPECT_TRUE(std::filesystem::is_empty(downloads.path()));
}

TEST_F(ShareTest, ThePanelsShareButtonOffersBothChoicesAndCopiesTheCard) {
    ui::PanelView panel(store);
    panel.resize(380, 560);
    panel.setAttribute(Qt::WA_DontShowOnScreen);
    panel.show();
    settle();
    EXPECT_FALSE(shownTexts(panel).contains("Copy image"));
    test::click(panel, "share");
    EXPECT_TRUE(shownTexts(panel).contains("Save image"));
    test::click(panel, "copyImage");
    EXPECT_FALSE(shownTexts(panel).contains("Save image"));
    QImage copied;
    EXPECT_TRUE(copied.loadFromData(world.desktop->copiedImage, "PNG"));
    EXPECT_TRUE(shownTexts(panel).contains("Image copied. Paste it into a post."));
}

TEST_F(ShareTest, TheProjectsPageSavesTheCardAndTheWindowSaysSo) {
    ui::DashboardView view(store, ui::DashboardSection::projects);
    view.resize(1120, 760);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    settle();
    test::click(view, "share");
    auto* menu = view.findChild<QMenu*>("shareMenu");
    ASSERT_TRUE(menu);
    QStringList titles;
    for (auto* action : menu->actions()) titles << action->text();
    EXPECT_EQ(titles, QStringList({"Save image", "Copy image"}));
    menu->actions().front()->trigger();
    menu->close();
    settle();
    EXPECT_TRUE(shownTexts(view).contains("Saved Tarvik 2026-12-07T09.18.19.png to Downloads."));
}

}  // namespace
}  // namespace tarvik
