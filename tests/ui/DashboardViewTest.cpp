#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>

#include "core/support/ByteFormat.hpp"
#include "ui/Fakes.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/dashboard/DashboardView.hpp"
#include "ui/dashboard/HistoryChart.hpp"
#include "ui/dashboard/StageStrip.hpp"
#include "ui/store/StoreChecks.hpp"
#include "ui/views/SettingsView.hpp"
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
    EXPECT_FALSE(back->isEnabled());
    forward->click();
    EXPECT_EQ(view.selection(), DashboardSection::cpu);

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

bool tells(const QWidget* page, const QString& text) {
    return test::shownTexts(*page).contains(text);
}

TEST_F(DashboardViewTest, TheRailToggleSaysWhatItWillDoSettingsOfferAQuitAndTheDiskPageScansUnforced) {
    auto* toggle = view.findChild<QAbstractButton*>("railToggle");
    toggle->click();
    EXPECT_FALSE(view.railShown());
    EXPECT_EQ(toggle->toolTip(), "Show pages");
    view.findChild<QAbstractButton*>("rail:settings")->click();
    EXPECT_EQ(view.selection(), DashboardSection::settings);
    auto* settings = view.page(DashboardSection::settings);
    EXPECT_TRUE(settings->findChild<ui::SettingsView*>());
    EXPECT_TRUE(tells(settings, "Quit Tarvik"));
    EXPECT_TRUE(tells(settings, "Stops measuring and removes Tarvik from the tray. Ctrl+Q does the same."));

    view.select(DashboardSection::disk);
    EXPECT_EQ(world.storage->scans, 1);
    view.goBack();
    view.goForward();
    EXPECT_EQ(world.storage->scans, 1) << "a revisit leaves the store's pause alone";
}

TEST_F(DashboardViewTest, HoveringAnotherSectionsTilePreviewsItsPageUntilThePointerLeaves) {
    auto* preview = view.findChild<QWidget*>("stagePreview");
    const QPointF at(4, 4);
    auto send = [&](const char* raw, QEvent&& event) {
        QCoreApplication::sendEvent(view.findChild<QAbstractButton*>(QString("stage:") + raw), &event);
    };
    send("overview", QEnterEvent(at, at, at));
    EXPECT_FALSE(preview->isVisible());
    send("heat", QEnterEvent(at, at, at));
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(view.selection(), DashboardSection::overview);
    // Cut to its rounded frame: corners stay clear where no compositor blends them.
    EXPECT_FALSE(preview->mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(preview->mask().contains(QPoint(preview->width() - 1, preview->height() - 1)));
    EXPECT_TRUE(preview->mask().contains(QPoint(preview->width() / 2, 1)));
    send("heat", QEvent(QEvent::Leave));
    EXPECT_FALSE(preview->isVisible());
}

// The search reaches its listeners and the pages made so far: their app tables and the network check.
TEST(DashboardViewSearch, FiltersTheAppsOfThePagesItMade) {
    FakeWorld world;
    ServerStore store(world.services());
    loadPreview(world, store);
    world.network->traffic = {{9001, "curl", 2048, 0}, {9002, "Firefox", 9000, 100}};
    store.checks().checkNetworkApps();
    DashboardView view(store, DashboardSection::overview);
    QStringList changes;
    QObject::connect(&view, &DashboardView::queryChanged, [&](const QString& query) { changes << query; });
    view.select(DashboardSection::network);
    auto* network = view.page(DashboardSection::network);
    view.findChild<QLineEdit*>("search")->setText("fire");
    EXPECT_EQ(view.query(), "fire");
    EXPECT_EQ(network->findChild<QWidget*>("traffic:curl"), nullptr);
    EXPECT_NE(network->findChild<QWidget*>("traffic:Firefox"), nullptr);

    view.setQuery("zzz");
    for (auto section : {DashboardSection::overview, DashboardSection::network})
        EXPECT_TRUE(tells(view.page(section), QString::fromUtf8("No app matches “zzz”")))
            << ui::DashboardSections::rawValue(section);
    for (auto* action : view.findChild<QLineEdit*>("search")->actions())
        if (action->text() == "Clear") action->trigger();
    EXPECT_TRUE(view.query().isEmpty());
    EXPECT_NE(network->findChild<QWidget*>("traffic:curl"), nullptr);
    EXPECT_EQ(changes, (QStringList{"fire", "zzz", ""}));
}

TEST_F(DashboardViewTest, TheStripAndOverviewMeasureFirstThenShowTheReadings) {
    EXPECT_EQ(tileValue(view, "cpu"), "Measuring");
    EXPECT_EQ(tileValue(view, "projects"), "Measuring");
    EXPECT_TRUE(tells(view.page(DashboardSection::overview), "Measuring your computer."));
    EXPECT_FALSE(tells(view.page(DashboardSection::overview), "All clear"));
    store.refresh();
    QCoreApplication::processEvents();
    EXPECT_EQ(tileValue(view, "projects"), "No dev servers");

    // The preview machine reaches the store through its services, as a real one does.
    auto preview = ui::Preview::store();
    EXPECT_EQ(preview->servers(), ui::Preview::servers());
    ASSERT_TRUE(preview->idleSummary());
    EXPECT_EQ(preview->idleSummary()->ports, std::vector<int>{8000});
    DashboardView shown(*preview, DashboardSection::settings);
    ASSERT_GT(preview->devServerCount(), 1);
    EXPECT_EQ(tileValue(shown, "projects"), QString::number(preview->devServerCount()) + " servers");
    EXPECT_EQ(tileValue(shown, "disk"), "212 GB free");
    EXPECT_EQ(tileValue(shown, "battery"), "No battery");
    EXPECT_EQ(tileValue(shown, "gpu"), "No GPU");
    const auto* graphics = shown.page(DashboardSection::overview)->findChild<QWidget*>("vital:gpu");
    ASSERT_TRUE(graphics);
    EXPECT_TRUE(test::shownTexts(*graphics).contains("No GPU"));

    SystemVitals quiet;
    quiet.cpu = CPULoad{0.1, 0.05, 0.05};
    quiet.gpus.resize(1);  // a card that gives no load
    world.sampling->script = {{{}, quiet, {}}};
    store.refresh();
    EXPECT_EQ(ui::stageValue(DashboardSection::gpu, store), QString::fromUtf8("—"));
}

TEST(DashboardViewAppearance, ASwitchToDarkRecoloursThePagesWithoutRemakingThem) {
    QApplication::setPalette(ui::Theme::palette(false));
    FakeWorld world;
    ServerStore store(world.services());
    loadPreview(world, store);
    DashboardView view(store, DashboardSection::cpu);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    QWidget* page = view.page(DashboardSection::cpu);
    auto* sentence = page->findChild<QLabel*>("sentence");
    ASSERT_NE(sentence, nullptr);
    EXPECT_EQ(sentence->palette().color(QPalette::WindowText),
              ui::Theme::color(ui::Theme::Role::text, false));
    QApplication::setPalette(ui::Theme::palette(true));
    test::settle();
    EXPECT_EQ(view.page(DashboardSection::cpu), page);
    EXPECT_EQ(page->findChild<QLabel*>("sentence"), sentence);
    EXPECT_EQ(sentence->palette().color(QPalette::WindowText), ui::Theme::color(ui::Theme::Role::text, true));
    EXPECT_EQ(view.selection(), DashboardSection::cpu);
    QApplication::setPalette(ui::Theme::palette(false));
}

// The frame of `widget` in `view`'s coordinates.
QRect frameIn(const QWidget* widget, const QWidget& view) {
    return {widget->mapTo(&view, QPoint(0, 0)), widget->size()};
}

TEST(DashboardProjects, LongNamesGiveWayToTheButtonsAndShowWholeInTheirTooltips) {
    FakeWorld world;
    ServerStore store(world.services());
    const std::string folder(100, 'f');
    const std::string branch = "feature/" + std::string(102, 'b');
    auto server = ui::Preview::servers().front();
    server.project = folder;
    server.cwd = "/srv/code/" + folder;
    server.branch = branch;
    test::show(world, store, {server});
    DashboardView view(store, DashboardSection::projects);
    view.resize(ui::Theme::Size::dashboard);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    test::settle();

    const QWidget* page = view.page(DashboardSection::projects);
    const auto* scroll = page->findChild<QScrollArea*>();
    const QRect visible = frameIn(scroll->viewport(), view);
    const auto buttons = page->findChildren<QAbstractButton*>();
    ASSERT_GE(buttons.size(), 3);  // share, stop all, and the row's own
    for (const auto* button : buttons)
        EXPECT_TRUE(visible.contains(frameIn(button, view))) << button->objectName().toStdString();
    for (const auto* chart : page->findChildren<ui::HistoryChart*>())
        EXPECT_LE(frameIn(chart, view).right(), visible.right());
    // A label cut short holds the whole text in its tooltip; one that fits shows it.
    auto whole = [page](const char* name) {
        const auto* label = page->findChild<QLabel*>(name);
        return label->text().contains(QChar(0x2026)) ? label->toolTip() : label->text();
    };
    EXPECT_EQ(whole("groupTitle"), QString::fromStdString(folder));
    EXPECT_EQ(whole("branch"), QString::fromStdString(branch));
    EXPECT_EQ(whole("where"), QString::fromStdString(*server.cwd));
}

TEST(DashboardFit, TheWindowAndItsLeastSizeFitTheScreenAtAnyScaleAndThePagesShrinkToIt) {
    // A screen's pixels over its scale, less a panel of 32 and room for the window's frame.
    const struct {
        const char* name;
        QSize pixels;
        double scale;
        QSize size, minimum;
    } cases[] = {{"1366x768", {1366, 768}, 1, {1120, 696}, {860, 560}},
                 {"1920x1080 at 125%", {1920, 1080}, 1.25, {1120, 760}, {860, 560}},
                 {"1920x1080 at 200%", {1920, 1080}, 2, {944, 468}, {860, 468}},
                 {"1280x720 at 150%", {1280, 720}, 1.5, {837, 408}, {837, 408}}};
    auto store = ui::Preview::store();
    DashboardView view(*store, DashboardSection::overview);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    const QSize available = view.screen()->availableGeometry().size();
    EXPECT_EQ(view.minimumSize(), view.minimumSize().boundedTo(available));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QSize area(static_cast<int>(c.pixels.width() / c.scale),
                         static_cast<int>(c.pixels.height() / c.scale) - 32);
        const auto sizes = DashboardView::sizesFor(area);
        EXPECT_EQ(sizes.size, c.size);
        EXPECT_EQ(sizes.minimum, c.minimum);
        for (auto section : ui::DashboardSections::all) {
            view.select(section);
            const QSize least = view.layout()->totalMinimumSize();
            EXPECT_EQ(least.boundedTo(sizes.minimum), least) << ui::DashboardSections::rawValue(section);
        }
    }
}

TEST(HistoryChartTicks, AreNeverTheSameTextTwice) {
    const auto percent = [](double value) { return QString("%1%").arg(value); };
    const auto rate = [](double value) { return QString::fromStdString(ByteFormat::rate(value)); };
    const struct {
        const char* name;
        double top;
        std::function<QString(double)> format;
        std::vector<ui::HistoryChart::Tick> expected;
    } cases[] = {
        {"quarters", 100, percent, {{0, "0%"}, {25, "25%"}, {50, "50%"}, {75, "75%"}, {100, "100%"}}},
        {"halves", 2048, rate, {{0, "0 KB/s"}, {1024, "1 KB/s"}, {2048, "2 KB/s"}}},
        {"the ends", 1024, rate, {{0, "0 KB/s"}, {1024, "1 KB/s"}}},
        {"nothing moved", 1, rate, {{0, "0 KB/s"}}}};
    for (const auto& c : cases) EXPECT_EQ(ui::HistoryChart::ticks(c.top, c.format), c.expected) << c.name;
}

TEST(StagePreviewPlacement, StaysOnTheScreenBelowOrAboveItsTile) {
    const QRect screen(0, 0, 1000, 700);
    const QSize size(316, 240);
    const struct {
        const char* name;
        QRect tile;
        QPoint expected;
    } cases[] = {{"room below", {100, 100, 120, 50}, {100, 156}},
                 {"against the right edge", {900, 100, 90, 50}, {684, 156}},
                 {"past the left edge", {-40, 100, 90, 50}, {0, 156}},
                 {"no room below", {100, 600, 120, 50}, {100, 354}},
                 {"no room either way", {100, 200, 120, 300}, {100, 506}}};
    for (const auto& c : cases)
        EXPECT_EQ(ui::StagePreview::placement(c.tile, size, screen), c.expected) << c.name;
}

}  // namespace
}  // namespace tarvik
