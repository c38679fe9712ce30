#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>

#include "ui/Fakes.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/DashboardView.hpp"
#include "ui/dashboard/StageStrip.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik {
namespace {

using test::FakeWorld;
using ui::DashboardSection;
using ui::DashboardView;
using ui::ServerStore;

QString tileValue(const DashboardView& view, const char* raw) {
    auto* tile = view.findChild<QAbstractButton*>(QString("stage:") + raw);
    return tile ? tile->accessibleDescription() : "no tile";
}

class DashboardViewTest : public testing::Test {
protected:
    FakeWorld world;
    ServerStore store{world.services()};
    DashboardView view{store, DashboardSection::overview};
};

TEST_F(DashboardViewTest, BackAndForwardWalkTheVisitedSectionsAndANewSelectionDropsForward) {
    auto* back = view.findChild<QAbstractButton*>("back");
    auto* forward = view.findChild<QAbstractButton*>("forward");
    EXPECT_FALSE(back->isEnabled());
    view.select(DashboardSection::cpu);
    view.select(DashboardSection::memory);
    back->click();
    EXPECT_EQ(view.selection(), DashboardSection::cpu);
    view.goBack();
    EXPECT_EQ(view.selection(), DashboardSection::overview);
    EXPECT_FALSE(view.canGoBack());
    EXPECT_FALSE(back->isEnabled());
    forward->click();
    EXPECT_EQ(view.selection(), DashboardSection::cpu);
    EXPECT_TRUE(view.canGoForward());

    view.select(DashboardSection::heat);
    EXPECT_FALSE(view.canGoForward());
    EXPECT_FALSE(forward->isEnabled());
    view.goBack();
    EXPECT_EQ(view.selection(), DashboardSection::cpu);

    view.reset(DashboardSection::gpu);
    EXPECT_EQ(view.selection(), DashboardSection::gpu);
    EXPECT_FALSE(view.canGoBack() || view.canGoForward());
}

TEST(DashboardViewPages, TheFactoryMakesEachPageOnceWhenItIsFirstShown) {
    FakeWorld world;
    ServerStore store{world.services()};
    std::vector<DashboardSection> made;
    DashboardView::setPageFactory([&](DashboardSection section, ServerStore&, DashboardView& view) {
        made.push_back(section);
        return new QWidget(&view);
    });
    DashboardView view(store, DashboardSection::cpu);
    view.select(DashboardSection::memory);
    view.goBack();
    view.goForward();
    DashboardView::setPageFactory({});
    EXPECT_EQ(made, (std::vector{DashboardSection::cpu, DashboardSection::memory}));
}

TEST_F(DashboardViewTest, TheRailToggleSaysWhatItWillDo) {
    auto* toggle = view.findChild<QAbstractButton*>("railToggle");
    EXPECT_EQ(toggle->toolTip(), "Hide pages");
    toggle->click();
    EXPECT_FALSE(view.railShown());
    EXPECT_EQ(toggle->toolTip(), "Show pages");
    view.findChild<QAbstractButton*>("rail:projects")->click();
    EXPECT_EQ(view.selection(), DashboardSection::projects);
}

TEST_F(DashboardViewTest, OpeningTheDiskPageScansStorageAtMostEveryFiveMinutes) {
    view.select(DashboardSection::disk);
    EXPECT_EQ(world.storage->scans, 1);
    view.goBack();
    view.goForward();
    EXPECT_EQ(world.storage->scans, 1);
    world.scheduler->advance(std::chrono::minutes(6));
    view.goBack();
    view.goForward();
    EXPECT_EQ(world.storage->scans, 2);
}

TEST_F(DashboardViewTest, HoveringAnotherSectionsTilePreviewsItsPageUntilThePointerLeaves) {
    auto* preview = view.findChild<QWidget*>("stagePreview");
    auto hover = [&](const char* raw, QEvent::Type type) {
        auto* tile = view.findChild<QAbstractButton*>(QString("stage:") + raw);
        if (type == QEvent::Enter) {
            QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), QPointF(4, 4));
            QCoreApplication::sendEvent(tile, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(tile, &leave);
        }
    };
    hover("overview", QEvent::Enter);
    EXPECT_FALSE(preview->isVisible());
    hover("heat", QEvent::Enter);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(view.selection(), DashboardSection::overview);
    hover("heat", QEvent::Leave);
    EXPECT_FALSE(preview->isVisible());
}

TEST_F(DashboardViewTest, TheSearchTextReachesTheQueryAndItsListeners) {
    QStringList changes;
    QObject::connect(&view, &DashboardView::queryChanged, [&](const QString& query) { changes << query; });
    auto* search = view.findChild<QLineEdit*>("search");
    EXPECT_EQ(search->placeholderText(), "Find an app");
    search->setText("code");
    EXPECT_EQ(view.query(), "code");
    EXPECT_EQ(changes, QStringList{"code"});
    for (auto* action : search->actions())
        if (action->text() == "Clear") action->trigger();
    EXPECT_TRUE(view.query().isEmpty());
    EXPECT_EQ(changes, (QStringList{"code", ""}));
}

TEST(DashboardViewSearch, FiltersTheAppTablesOfThePagesItMade) {
    FakeWorld world;
    ServerStore store(world.services(), ui::Preview::data());
    ui::Preview::decorate(store, world.clock->now());
    DashboardView view(store, DashboardSection::overview);
    view.select(DashboardSection::heat);
    view.setQuery("zzz");
    for (auto section : {DashboardSection::overview, DashboardSection::heat}) {
        bool told = false;
        for (const auto* label : view.page(section)->findChildren<QLabel*>())
            told |= label->text() == QString::fromUtf8("No app matches “zzz”");
        EXPECT_TRUE(told) << ui::DashboardSections::rawValue(section);
    }
}

TEST(DashboardViewSearch, NarrowsTheAppsTheNetworkCheckFound) {
    FakeWorld world;
    ServerStore store(world.services());
    store.setPreviewNetwork({{std::nullopt, "curl", 2048, 0}, {std::nullopt, "Firefox", 9000, 100}});
    DashboardView view(store, DashboardSection::network);
    auto* page = view.page(DashboardSection::network);
    view.setQuery("fire");
    EXPECT_EQ(page->findChild<QWidget*>("traffic:curl"), nullptr);
    EXPECT_NE(page->findChild<QWidget*>("traffic:Firefox"), nullptr);
    view.setQuery("zzz");
    EXPECT_EQ(page->findChild<QWidget*>("traffic:Firefox"), nullptr);
    bool told = false;
    for (const auto* label : page->findChildren<QLabel*>())
        told |= label->isVisibleTo(page) && label->text() == QString::fromUtf8("No app matches “zzz”");
    EXPECT_TRUE(told);
    view.setQuery("");
    EXPECT_NE(page->findChild<QWidget*>("traffic:curl"), nullptr);
}

TEST_F(DashboardViewTest, TheSettingsPageHostsTheFormAndAWayToQuit) {
    view.select(DashboardSection::settings);
    QStringList texts;
    for (const auto* label : view.page(DashboardSection::settings)->findChildren<QLabel*>())
        texts << label->text();
    for (const auto* button : view.page(DashboardSection::settings)->findChildren<QAbstractButton*>())
        texts << button->text();
    for (const char* text : {"Show system listeners", "Launch at login", "Quit Tarvik",
                             "Stops measuring and removes Tarvik from the tray. Ctrl+Q does the same."})
        EXPECT_TRUE(texts.contains(text)) << text;
}

TEST_F(DashboardViewTest, TheStripMeasuresFirstThenShowsTheReadings) {
    EXPECT_EQ(tileValue(view, "cpu"), "Measuring");
    EXPECT_EQ(tileValue(view, "projects"), "Measuring");
    store.refresh();
    QCoreApplication::processEvents();
    EXPECT_EQ(tileValue(view, "projects"), "No dev servers");

    auto preview = ui::Preview::store();
    DashboardView shown(*preview, DashboardSection::settings);
    ASSERT_GT(preview->devServerCount(), 1);
    EXPECT_EQ(tileValue(shown, "projects"), QString::number(preview->devServerCount()) + " servers");
    EXPECT_EQ(tileValue(shown, "disk"), "212 GB free");
    EXPECT_EQ(tileValue(shown, "battery"), "No battery");
}

}  // namespace
}  // namespace tarvik

namespace tarvik {
namespace {

TEST(DashboardViewAppearance, ASwitchToDarkRemakesThePagesInDarkColours) {
    QApplication::setPalette(ui::Theme::palette(false));
    FakeWorld world;
    ServerStore store(world.services(), ui::Preview::data());
    DashboardView view(store, DashboardSection::cpu);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    auto sentenceColour = [&] {
        auto* sentence = view.page(DashboardSection::cpu)->findChild<QLabel*>("sentence");
        return sentence ? sentence->palette().color(QPalette::WindowText) : QColor();
    };
    EXPECT_EQ(sentenceColour(), ui::Theme::color(ui::Theme::Role::text, false));
    QApplication::setPalette(ui::Theme::palette(true));
    for (int pass = 0; pass < 3; ++pass) QCoreApplication::processEvents();
    EXPECT_EQ(sentenceColour(), ui::Theme::color(ui::Theme::Role::text, true));
    EXPECT_EQ(view.selection(), DashboardSection::cpu);
    QApplication::setPalette(ui::Theme::palette(false));
}

TEST(StagePreviewPlacement, StaysOnTheScreenBelowOrAboveItsTile) {
    const QRect screen(0, 0, 1000, 700);
    const QSize size(316, 240);
    const struct {
        const char* name;
        QRect tile;
        QPoint expected;
    } cases[] = {
        {"room below", {100, 100, 120, 50}, {100, 156}},
        {"against the right edge", {900, 100, 90, 50}, {684, 156}},
        {"past the left edge", {-40, 100, 90, 50}, {0, 156}},
        {"no room below", {100, 600, 120, 50}, {100, 354}},
        {"no room either way", {100, 200, 120, 300}, {100, 506}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QPoint at = ui::StagePreview::placement(c.tile, size, screen);
        EXPECT_EQ(at, c.expected);
    }
}

}  // namespace
}  // namespace tarvik
