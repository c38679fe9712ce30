#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

#include "core/support/Words.hpp"
#include "ui/Fakes.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/dashboard/BatteryPage.hpp"
#include "ui/dashboard/DiskPage.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/views/Theme.hpp"

namespace tarvik {
namespace {

using test::FakeWorld;
using ui::ServerStore;

using test::shownTexts;

// Clicks the `index`th visible button showing `text`.
void click(const QWidget& view, const QString& text, int index = 0) {
    for (auto* button : view.findChildren<QAbstractButton*>())
        if (button->isVisibleTo(&view) && (button->text() == text || button->objectName() == text) &&
            index-- == 0)
            return button->click();
    ADD_FAILURE() << "no button shows " << text.toStdString();
}

bool showsPart(const QStringList& texts, const QString& part) {
    return std::any_of(texts.begin(), texts.end(), [&](const QString& text) { return text.contains(part); });
}

class DashboardPagesTwoTest : public testing::Test {
protected:
    FakeWorld world;
    std::unique_ptr<ServerStore> store = std::make_unique<ServerStore>(world.services(), ui::Preview::data());
    QWidget window;

    void settle() {
        for (int turn = 0; turn < 3; ++turn) QCoreApplication::processEvents();
    }
};

TEST_F(DashboardPagesTwoTest, DiskPageMeasuresThenListsCachesAndFiles) {
    auto* page = ui::makeDiskPage(*store, &window);
    auto sentence = [&] { return page->findChild<QLabel*>("sentence")->text(); };
    EXPECT_EQ(sentence(), "Measuring your disk.");
    EXPECT_TRUE(shownTexts(window).contains("Measuring caches. Large ones take a few seconds."));

    ui::Preview::decorate(*store, world.clock->now());
    settle();
    const auto texts = shownTexts(window);
    EXPECT_EQ(sentence(), "212 GB free. Here's what's using the most space.");
    // npm, Cargo and pip are rebuilt by their tools; Docker's image is not counted as safe.
    EXPECT_TRUE(texts.contains("4.1 GB"));
    EXPECT_EQ(texts.count("Clear"), 3);
    EXPECT_TRUE(texts.contains(QString::fromStdString(Words::text("Show in Finder"))));
    EXPECT_TRUE(showsPart(texts, "Belongs to Steam. Remove it from inside Steam."));
    EXPECT_TRUE(showsPart(texts, "Never opened"));
    EXPECT_FALSE(showsPart(texts, QString::fromStdString(Words::text("macOS frees by itself"))));

    store->setPreviewStorage({}, {}, 0);
    settle();
    EXPECT_TRUE(shownTexts(window).contains("Nothing large to clear. Your caches are small."));
    EXPECT_TRUE(shownTexts(window).contains("No files over 500 MB."));
}

TEST_F(DashboardPagesTwoTest, ClearAndMoveToTrashAskFirstThenActAndShowInFilesReveals) {
    ui::Preview::decorate(*store, world.clock->now());
    auto* page = ui::makeDiskPage(*store, &window);
    settle();
    click(*page, "Clear");
    settle();
    EXPECT_EQ(store->clearable()->size(), 4u);
    click(*page, "confirm");
    settle();
    EXPECT_EQ(store->clearable()->size(), 3u);
    EXPECT_EQ(store->clearable()->front().title, "Docker disk image");
    EXPECT_EQ(store->toast(), "Cleared npm downloads, 2.1 GB.");

    click(*page, "Move to Trash…", 1);
    settle();
    click(*page, "confirm");
    settle();
    ASSERT_EQ(store->largeFiles()->size(), 2u);
    EXPECT_EQ(store->largeFiles()->back().title, "pak01_dir.vpk");

    click(*page, QString::fromStdString(Words::text("Show in Finder")));
    click(*page, "Open Trash");
    EXPECT_EQ(world.desktop->calls,
              (std::vector<std::string>{"reveal:/home/ada/Downloads/debian-12-amd64-DVD-1.iso", "trash:"}));
}

// A cache behind a link out of the home folder is shown where it lies without a Clear button, hard-
// linked bytes are not counted as safe, and a search for large files cut short says so.
TEST_F(DashboardPagesTwoTest, DiskPageSaysWhereCachesLieWhatHardLinksKeepAndThatTheSearchStopped) {
    StorageItem cargo{"/home/ada/.cargo/registry", "Cargo downloads", "", 3'000'000'000,
                      StorageItem::Kind::regenerable()};
    cargo.realPath = "/mnt/fast/registry";
    cargo.place = StorageItem::Place::outsideHome;
    StorageItem pnpm{"/home/ada/.local/share/pnpm/store", "pnpm store", "", 157'000'000,
                     StorageItem::Kind::regenerable()};
    pnpm.sharedBytes = 153'000'000;
    StorageItem maven{"/home/ada/.m2/repository", "Maven downloads", "", 200'000'000,
                      StorageItem::Kind::regenerable()};
    maven.realPath = "/home/ada/disks/m2/repository";
    FakeWorld measured;  // the fixture's store is a preview, which measures nothing
    measured.storage->caches = {cargo, maven, pnpm};
    measured.storage->filesComplete = false;
    ServerStore live(measured.services());
    live.scanStorage(true);
    std::unique_ptr<QWidget> page(ui::makeDiskPage(live, &window));
    settle();
    const auto texts = shownTexts(window);
    EXPECT_EQ(texts.count("Clear"), 2);
    EXPECT_TRUE(texts.contains("204 MB")) << texts.join(" | ").toStdString();
    EXPECT_TRUE(
        texts.contains("Not cleared here: it lives at /mnt/fast/registry, outside your home folder."));
    EXPECT_TRUE(texts.contains("Lives at /home/ada/disks/m2/repository."));
    EXPECT_TRUE(texts.contains(
        "153 MB of it is shared with files outside it (hard links); clearing it frees only 4 MB."));
    EXPECT_TRUE(texts.contains("The search for large files stopped at its limit before it found any."));
    EXPECT_FALSE(texts.contains("No files over 500 MB."));
}

TEST_F(DashboardPagesTwoTest, BatteryPageWithoutABatterySaysOnlyWhy) {
    auto* page = ui::makeBatteryPage(*store, &window);
    const QString mains =
        QString::fromStdString(Words::text("This Mac runs on mains power and has no battery."));
    EXPECT_EQ(shownTexts(window), QStringList({"Battery", mains}));

    SystemVitals vitals;
    vitals.battery = BatteryStatus{64, true, true, 50, 27.6, 91, 200};
    store->setPreviewVitals(vitals);
    settle();
    EXPECT_EQ(page->findChild<QLabel*>("sentence")->text(), "Charging at 28 W.");
    EXPECT_EQ(page->findChild<QLabel*>("figure")->text(), "64%");
    const auto texts = shownTexts(window);
    EXPECT_TRUE(texts.contains("Until full"));
    EXPECT_TRUE(texts.contains("28 W"));
    click(*page, "Battery Settings…");
    EXPECT_EQ(world.desktop->calls, std::vector<std::string>{"settings:battery"});
}

// Keeps pictures of the disk and battery pages for people to look at.
TEST_F(DashboardPagesTwoTest, RendersTheDiskAndBatteryPagesInBothAppearances) {
    ui::Preview::decorate(*store, world.clock->now());
    auto vitals = store->vitals();
    vitals.battery = BatteryStatus{64, true, true, 50, 27.6, 91, 200};
    vitals.power = PowerTelemetry{14.2, 45.0, 27.6};
    store->setPreviewVitals(vitals);
    ASSERT_TRUE(QDir().mkpath(TARVIK_RENDERS));
    const QPalette before = QApplication::palette();
    for (bool dark : {false, true}) {
        QApplication::setPalette(ui::Theme::palette(dark));
        for (const QString name : {"disk", "battery"}) {
            QWidget frame;
            frame.resize(880, 700);
            frame.setAutoFillBackground(true);
            auto* page =
                name == "disk" ? ui::makeDiskPage(*store, &frame) : ui::makeBatteryPage(*store, &frame);
            page->resize(frame.size());
            frame.show();
            settle();
            const QString file =
                QString(TARVIK_RENDERS "/dashboard-%1-%2%3.png").arg(name, dark ? "dark" : "light");
            EXPECT_TRUE(frame.grab().save(file.arg("")));
            auto* scroll = page->findChild<QScrollArea*>();
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
            settle();
            EXPECT_TRUE(frame.grab().save(file.arg("-end")));
        }
    }
    QApplication::setPalette(before);
}

}  // namespace
}  // namespace tarvik
