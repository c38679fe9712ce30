#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QEnterEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPointer>
#include <sstream>

#include "ui/Fakes.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/store/StoreSettings.hpp"
#include "ui/views/OverviewView.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/PanelView.hpp"
#include "ui/views/ServerListModel.hpp"
#include "ui/views/ServerRow.hpp"
#include "ui/views/SettingsView.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/TidyView.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
using test::click;
using test::FakeWorld;
using test::settle;
using test::shownTexts;
using ui::PanelView;
using ui::ServerStore;
namespace Theme = ui::Theme;
using Page = PanelView::Page;
using Tab = PanelView::ListTab;

// Puts the application's palette back after a test that switches the appearance.
struct PaletteBack {
    QPalette original = QApplication::palette();
    ~PaletteBack() { QApplication::setPalette(original); }
};

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

// Every shown text has the width it asks for and lies inside the panel, not cut off by its edge;
// every button has a name for assistive technology, symbols included.
void expectEverythingFitsAndIsNamed(QWidget* panel) {
    for (auto* widget : panel->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<const QLabel*>(widget);
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        if (!(label || button) || !widget->isVisibleTo(panel)) continue;
        const std::string text = label ? label->text().toStdString() : button->text().toStdString();
        if (!(label && label->wordWrap())) {
            EXPECT_GE(widget->width(), widget->sizeHint().width()) << text;
        }
        EXPECT_LT(widget->mapTo(panel, widget->rect().topRight()).x(), panel->width())
            << text << widget->objectName().toStdString();
        if (button) {
            EXPECT_FALSE(accessibleName(widget).isEmpty()) << widget->objectName().toStdString();
        }
    }
}

// Rests the pointer on the middle of `widget`, which it enters.
void pointAt(QWidget* widget) {
    QCursor::setPos(widget->mapToGlobal(widget->rect().center()));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(widget, &enter);
}

// The fixed preview machine, onboarded, behind a panel; actions land in the fakes.
class PanelTest : public testing::Test {
protected:
    PanelTest() : store(world.services()) {
        loadPreview(world, store);
        store.settings().setHasOnboarded(true);
        panel = std::make_unique<PanelView>(store);
        panel->setAttribute(Qt::WA_DontShowOnScreen);
        panel->show();
        settle();
    }

    FakeWorld world;
    ServerStore store;
    std::unique_ptr<PanelView> panel;
};

TEST_F(PanelTest, EachTabShowsItsDocumentedTexts) {
    const struct {
        Tab tab;
        QString name;
        QStringList expected;
    } cases[] = {{Tab::overview,
                  "overview",
                  {"5 servers", "Next.js (shop) grew 620 MB in 30 min",
                   "Ports 5173 and 24678 reachable from your network",
                   "Docker's VM can use up to 8 GB, on top of what containers report.",
                   "Django idle for over an hour", "shop", "blog"}},
                 {Tab::active, "active", {"shop", "main", "blog", "feature/login", "Vite", ":5173  :24678"}},
                 {Tab::stopped, "stopped", {"Flask (api)", ":5000", "4m ago", "42m ago"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        click(*panel, "tab:" + c.name);
        EXPECT_EQ(panel->tab(), c.tab);
        const QStringList shown = shownTexts(*panel);
        for (const auto& text : c.expected) EXPECT_TRUE(shown.contains(text)) << text.toStdString();
    }
}

TEST_F(PanelTest, AnOpenedRowShowsItsDetailAndItsButtonsReachTheDesktop) {
    panel->showTab(Tab::active);
    click(*panel, "expand:4211:5173");
    const struct {
        QString button;
        std::string call;
    } cases[] = {{"copy:4211:5173", "copy:http://localhost:5173"},
                 {"open:4211:5173", "open:http://localhost:5173"},
                 {"address:4211:5173", "copy:localhost:5173"},
                 {"browse:4211:5173", "open:http://localhost:5173"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button.toStdString());
        click(*panel, c.button);
        ASSERT_FALSE(world.desktop->calls.empty());
        EXPECT_EQ(world.desktop->calls.back(), c.call);
    }
    for (const char* text : {"Live HTTP check", "*:5173  ·  *:24678",
                             "Reachable by anyone on your network — bind to 127.0.0.1 to keep it private."})
        EXPECT_TRUE(shownTexts(*panel).contains(QString::fromUtf8(text))) << text;

    click(*panel, "expand:812:5432");
    click(*panel, "connection:812:5432");
    EXPECT_EQ(world.desktop->calls.back(), "copy:postgres://localhost:5432");
    const QStringList shown = shownTexts(*panel);
    EXPECT_TRUE(shown.contains("Copied") && shown.contains("Copy localhost:5432"));
    EXPECT_FALSE(shown.contains("Live HTTP check"));

    auto* row = dynamic_cast<ui::ServerRow*>(panel->findChild<QWidget*>("row:4211:5173"));
    ASSERT_TRUE(row);
    for (auto* action : row->makeMenu(panel.get())->actions())
        if (action->text() == "Reveal in Files") action->trigger();
    EXPECT_EQ(world.desktop->calls.back(), "reveal:/home/ada/code/shop");
    EXPECT_EQ(accessibleName(row), "Vite :5173  :24678");
    EXPECT_TRUE(row->accessibleDescription().contains("code/shop"));
}

TEST_F(PanelTest, GroupAndIdleStopsAskFirstAndStopEveryServerTheyName) {
    const struct {
        Tab tab;
        QString button;
        QString question;
        std::vector<std::string> stopped;
    } cases[] = {{Tab::active, "stopGroup:shop", "Stop all 2", {"4388:3000", "4211:5173", "4211:24678"}},
                 {Tab::active, "stopGroup:blog", "Stop it?", {"5120:8000"}},
                 {Tab::overview, "stopIdle", "Stop it?", {"5120:8000"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button.toStdString());
        panel->showTab(c.tab);
        world.control->groupStops.clear();
        click(*panel, c.button);
        click(*panel, "cancel");
        EXPECT_TRUE(world.control->groupStops.empty());
        click(*panel, c.button);
        EXPECT_TRUE(shownTexts(*panel).contains(c.question));
        click(*panel, "confirm");
        EXPECT_EQ(world.control->groupStops, c.stopped);
    }
}

TEST_F(PanelTest, StartingAgainRunsTheStoppedCommandAndSaysSoUntilItIsBack) {
    panel->showTab(Tab::stopped);
    click(*panel, "restart:6001:5000");
    EXPECT_EQ(world.control->restarts, (std::vector<std::string>{"6001:5000"}));
    EXPECT_TRUE(shownTexts(*panel).contains("Starting"));
    EXPECT_FALSE(panel->findChild<QAbstractButton*>("restart:6001:5000"));
}

TEST_F(PanelTest, TheHeaderOpensTheSubPagesAndHandsOverToTheWindow) {
    auto* tidy = new QLabel("tidy view");
    auto* settings = new QLabel("settings form");
    panel->setSubPages(tidy, settings);
    const struct {
        QString button;
        Page page;
        QString title;
        QLabel* view;
    } cases[] = {{"tidy", Page::tidy, "Clean Up", tidy}, {"settings", Page::settings, "Settings", settings}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        click(*panel, c.button);
        EXPECT_EQ(panel->page(), c.page);
        EXPECT_TRUE(c.view->isVisibleTo(panel.get()));
        EXPECT_TRUE(shownTexts(*panel).contains(c.title));
        click(*panel, "back");
        EXPECT_EQ(panel->page(), Page::list);
    }
    int requests = 0;
    QObject::connect(panel.get(), &PanelView::dashboardRequested, [&] { ++requests; });
    for (const char* button : {"dashboard", "openWindow"}) {
        panel->show();
        EXPECT_TRUE(store.panelIsOpen());
        click(*panel, button);
        EXPECT_FALSE(store.panelIsOpen());
        panel->hide();
    }
    EXPECT_EQ(requests, 2);
}

// Draws every page in both appearances into the build folder for people to look at, and checks
// that no text is cut short and no button goes unnamed.
TEST_F(PanelTest, EveryPageFitsItsTextsAndNamesItsButtonsInBothAppearances) {
    PaletteBack paletteBack;
    panel->setSubPages(new ui::TidyView(store), new ui::SettingsView(store));
    const struct {
        const char* name;
        Page page;
        Tab tab;
        std::function<void()> prepare;
    } views[] = {{"overview", Page::list, Tab::overview, [] {}},
                 {"active", Page::list, Tab::active,
                  [&] {
                      click(*panel, "expand:4211:5173");
                      click(*panel, "stop:4388:3000");
                      pointAt(panel->findChild<QWidget*>("row:5120:8000"));
                  }},
                 {"stopped", Page::list, Tab::stopped,
                  [&] { store.actions().announce("Flask stopped. Port 5000 is free."); }},
                 {"tidy", Page::tidy, Tab::overview, [] {}},
                 {"settings", Page::settings, Tab::overview, [] {}},
                 {"onboarding", Page::list, Tab::overview, [&] { store.settings().setHasOnboarded(false); }}};
    ASSERT_TRUE(QDir().mkpath(TARVIK_RENDERS));
    panel->setAnimated(false);
    for (bool dark : {false, true}) {
        QApplication::setPalette(ui::Theme::palette(dark));
        for (const auto& view : views) {
            const std::string name = std::string(view.name) + (dark ? "-dark" : "-light");
            SCOPED_TRACE(name);
            store.settings().setHasOnboarded(true);
            panel->show();
            panel->showPage(view.page);
            panel->showTab(view.tab);
            settle();
            view.prepare();
            settle();
            expectEverythingFitsAndIsNamed(panel.get());
            EXPECT_TRUE(panel->grab().save(QString(TARVIK_RENDERS "/panel-%1.png").arg(name.c_str())));
            panel->hide();
        }
    }
}

// A store on the fakes, refreshed from a scripted scan, behind a panel on its active tab.
class LivePanelTest : public testing::Test {
protected:
    void make(std::vector<Server> servers, bool onboarded = true) {
        world.sampling->script = {test::sampled(std::move(servers))};
        store = std::make_unique<ServerStore>(world.services());
        store->refresh();
        if (onboarded) store->settings().setHasOnboarded(true);
        panel = std::make_unique<PanelView>(*store);
        panel->setAttribute(Qt::WA_DontShowOnScreen);
        panel->setAnimated(false);
        panel->show();
        panel->showTab(Tab::active);
        settle();
    }

    FakeWorld world;
    std::unique_ptr<ServerStore> store;
    std::unique_ptr<PanelView> panel;
};

TEST_F(LivePanelTest, StopAsksFirstAndForcesAProcessThatOutlivedItsStop) {
    make(ui::Preview::servers());
    click(*panel, "stop:4388:3000");
    click(*panel, "cancel");
    EXPECT_TRUE(world.control->actions.empty());
    const struct {
        QString question;
        StopAction action;
    } cases[] = {{"Sure?", StopActions::SignalProcess{4388}},
                 {"Force?", StopActions::ForceSignalProcess{4388}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.question.toStdString());
        click(*panel, "stop:4388:3000");
        EXPECT_TRUE(shownTexts(*panel).contains(c.question));
        click(*panel, "confirm");
        ASSERT_FALSE(world.control->actions.empty());
        EXPECT_EQ(world.control->actions.back(), c.action);
        world.scheduler->advance(2s);
        settle();
    }
}

// A hidden panel lets the store change under it and catches up before it shows again, its rows
// released or not.
TEST_F(LivePanelTest, AHiddenPanelCatchesUpWhenItShows) {
    make({test::devServer(100, 5173)});
    auto* count = panel->findChild<QLabel*>("count");
    ASSERT_TRUE(count);
    panel->hide();
    world.sampling->script = {test::sampled({test::devServer(100, 5173), test::devServer(200, 3000)})};
    store->refresh();
    settle();
    EXPECT_EQ(count->text(), "1 server");
    // Hidden a while, it gives its rows back and makes them again on showing.
    panel->releaseRows();
    EXPECT_TRUE(panel->findChildren<ui::ServerRow*>().isEmpty());
    panel->show();
    EXPECT_EQ(count->text(), "2 servers");
    EXPECT_EQ(panel->findChildren<ui::ServerRow*>().size(), 2);
    EXPECT_NE(panel->findChild<QWidget*>("row:200:3000"), nullptr);
    // With no insight nor Docker VM to tell of, those parts of the overview hold no place.
    panel->showTab(Tab::overview);
    settle();
    const auto* overview = panel->findChild<ui::OverviewView*>();
    ASSERT_TRUE(overview);
    for (auto* part : overview->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (part->isVisibleTo(panel.get())) {
            EXPECT_GT(part->layout()->count(), 0);
        }
}

// The servers under an open panel change: no button on any tab goes unless its server went, not
// even in an open detail; the rows that stay keep their question and hover and show new figures.
TEST_F(LivePanelTest, ARefreshUpdatesTheRowsInPlaceAndKeepsWhatTheUserOpened) {
    make({test::devServer(100, 5173), test::devServer(200, 3000), test::devServer(300, 4000)});
    // The rows by port: 3000 stays on top, under the pointer.
    const QPointer<QWidget> hovered = panel->findChild<QWidget*>("row:200:3000");
    const QPointer<QWidget> asking = panel->findChild<QWidget*>("row:100:5173");
    ASSERT_TRUE(hovered && asking);
    click(*panel, "expand:100:5173");
    click(*panel, "stop:100:5173");
    pointAt(hovered);
    const QWidget* going = panel->findChild<QWidget*>("row:300:4000");
    std::vector<QPointer<QAbstractButton>> buttons;
    for (auto* button : panel->findChildren<QAbstractButton*>())
        if (!going->isAncestorOf(button)) buttons.emplace_back(button);

    Server grown = test::devServer(200, 3000);
    grown.memoryBytes = 512u << 20;
    world.sampling->script = {test::sampled({test::devServer(100, 5173), grown, test::devServer(400, 8080)})};
    store->refresh();
    settle();

    EXPECT_TRUE(std::all_of(buttons.begin(), buttons.end(), [](const auto& button) {
        return !button.isNull();
    })) << "a button on any tab went with the refresh";
    EXPECT_EQ(panel->findChild<QWidget*>("row:200:3000"), hovered.data());
    EXPECT_EQ(panel->findChild<QWidget*>("row:100:5173"), asking.data());
    EXPECT_FALSE(panel->findChild<QWidget*>("row:300:4000"));
    const QWidget* added = panel->findChild<QWidget*>("row:400:8080");
    EXPECT_TRUE(added && added->isVisibleTo(panel.get()));
    EXPECT_TRUE(panel->findChild<QWidget*>("open:200:3000")->isVisibleTo(panel.get())) << "still hovered";
    EXPECT_TRUE(shownTexts(*panel).contains("Sure?"));
    // Behind the buttons while hovered.
    const auto labels = hovered->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* l) { return l->text() == "512 MB"; }));
}

// A folder and a branch longer than the panel is wide are cut short, whole in their tooltips; every
// group's stop and every row's buttons and figures keep their place, in each group.
TEST_F(LivePanelTest, LongNamesAreCutShortAndLeaveEveryControlInPlace) {
    const std::string folder(100, 'f');
    Server longer = test::devServer(100, 5173);
    longer.project = folder;
    longer.branch = std::string(110, 'b');
    longer.cwd = "/home/ada/" + folder;
    Server other = test::devServer(200, 3000);
    other.project = "blog";
    other.cwd = "/home/ada/blog";
    make({longer, other});
    auto placed = [](const QWidget* widget, const QWidget* within) {
        return QRect(widget->mapTo(within, QPoint(0, 0)), widget->size());
    };
    const QRect whole = panel->rect().adjusted(0, 0, -Theme::Space::l, 0);
    for (const std::string& title : {folder, std::string("blog")}) {
        SCOPED_TRACE(title.substr(0, 8));
        auto* stop = panel->findChild<QWidget*>(QString::fromStdString("stopGroup:" + title));
        ASSERT_TRUE(stop && stop->isVisibleTo(panel.get()));
        EXPECT_TRUE(whole.contains(placed(stop, panel.get())));
    }
    for (const char* id : {"100:5173", "200:3000"}) {
        SCOPED_TRACE(id);
        QWidget* row = panel->findChild<QWidget*>(QString("row:") + id);
        EXPECT_TRUE(whole.contains(placed(row, panel.get())));
        for (auto* label : row->findChildren<QLabel*>()) {
            if (label->text().endsWith("MB") && label->isVisibleTo(row)) {
                EXPECT_TRUE(row->rect().contains(placed(label, row))) << "memory";
            }
        }
        pointAt(row);
        for (const char* button : {"open:", "copy:", "stop:", "expand:"}) {
            auto* shown = row->findChild<QWidget*>(button + QString(id));
            ASSERT_TRUE(shown->isVisibleTo(row));
            EXPECT_TRUE(row->rect().contains(placed(shown, row))) << button;
        }
    }
    int cut = 0;
    for (auto* shown : panel->findChildren<QLabel*>()) {
        // Not a QObject of its own, so findChildren cannot tell it from a plain label.
        const auto* label = dynamic_cast<const ui::ElidedLabel*>(shown);
        if (!label || !label->isVisibleTo(panel.get()) || !label->isElided()) continue;
        ++cut;
        EXPECT_EQ(label->toolTip(), label->text());
    }
    EXPECT_EQ(cut, 3) << "the title, the branch and the folder";
}

// On a short screen (1000 pixels at a scale of 2 leave 500) the panel keeps inside it: the pages
// scroll rather than squeeze, and the toast stays in view.
TEST_F(LivePanelTest, OnAShortScreenThePanelFitsAndItsPagesScroll) {
    make({test::devServer(100, 5173)}, false);
    for (int height : {484, 300}) {
        SCOPED_TRACE(height);
        panel->fitHeight(height);
        store->settings().setHasOnboarded(false);
        settle();
        EXPECT_LE(panel->height(), height);
        const QWidget* page = panel->findChild<QWidget*>("getStarted")->parentWidget();
        EXPECT_GE(page->height(), page->minimumSizeHint().height()) << "squeezed instead of scrolled";
        store->settings().setHasOnboarded(true);
        store->actions().announce("Vite stopped. Port 5173 is free.");
        settle();
        const QWidget* toast = panel->findChild<QWidget*>("toast");
        ASSERT_TRUE(toast->isVisible());
        EXPECT_TRUE(panel->rect().contains(toast->geometry()));
    }
}

// The buttons show on the row under the pointer: rows that move under a resting pointer hand them
// to the row now there, and they go when the pointer leaves.
TEST_F(LivePanelTest, TheButtonsFollowThePointerNotTheRow) {
    make({test::devServer(100, 3000), test::devServer(200, 4000), test::devServer(300, 5000)});
    auto buttonsOn = [&](const QString& id) {
        return panel->findChild<QWidget*>("stop:" + id)->isVisibleTo(panel.get());
    };
    pointAt(panel->findChild<QWidget*>("row:200:4000"));
    EXPECT_TRUE(buttonsOn("200:4000"));
    world.sampling->script = {test::sampled({test::devServer(200, 4000), test::devServer(300, 5000)})};
    store->refresh();
    settle();
    EXPECT_FALSE(buttonsOn("200:4000")) << "moved up from under the pointer";
    EXPECT_TRUE(buttonsOn("300:5000")) << "moved in under it";
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(panel->findChild<QWidget*>("row:300:5000"), &leave);
    EXPECT_FALSE(buttonsOn("300:5000"));
}

TEST_F(LivePanelTest, ARowShowsNamesFromTheSystemEscaped) {
    Server odd = test::devServer(100, 3000, 0, "vite\x1b[2J\xff");
    odd.cwd =
        "/srv/\x1b]0;x\x07"
        "app";
    make({odd});
    const QStringList shown = shownTexts(*panel);
    EXPECT_TRUE(shown.contains(QString::fromUtf8("vite\\e[2J\xef\xbf\xbd"))) << shown.join('|').toStdString();
    EXPECT_TRUE(shown.contains("/srv/\\e]0;x\\x07app"));
}

// Switching the appearance under an open panel repaints it: every widget stays, its texts take the
// new appearance's colours.
TEST_F(LivePanelTest, AnAppearanceSwitchRecoloursTheOpenPanelInPlace) {
    PaletteBack paletteBack;
    QApplication::setPalette(ui::Theme::palette(false));
    make({test::devServer(100, 5173), test::devServer(200, 3000)});
    click(*panel, "expand:100:5173");
    std::vector<QPointer<QWidget>> widgets;
    for (auto* widget : panel->findChildren<QWidget*>()) widgets.emplace_back(widget);
    const QWidget* row = panel->findChild<QWidget*>("row:100:5173");
    ASSERT_TRUE(row);
    std::vector<std::pair<QLabel*, QColor>> texts;
    for (auto* label : row->findChildren<QLabel*>())
        if (!label->text().isEmpty()) texts.emplace_back(label, label->palette().color(QPalette::WindowText));
    ASSERT_FALSE(texts.empty());

    QApplication::setPalette(ui::Theme::palette(true));
    settle();

    EXPECT_TRUE(std::all_of(widgets.begin(), widgets.end(), [](const auto& widget) {
        return !widget.isNull();
    })) << "a widget was made again";
    for (const auto& [label, before] : texts)
        EXPECT_NE(label->palette().color(QPalette::WindowText), before) << label->text().toStdString();
    EXPECT_EQ(panel->findChild<QLabel*>("count")->palette().color(QPalette::WindowText),
              ui::Theme::color(ui::Theme::Role::secondaryText, true));
}

// Onboarding ends for good at Get Started; then, without servers, every tab says so.
TEST_F(LivePanelTest, GetStartedEndsOnboardingAndEveryEmptyTabSaysSo) {
    make({}, false);
    EXPECT_TRUE(shownTexts(*panel).contains("See what's reachable beyond your computer"));
    EXPECT_FALSE(shownTexts(*panel).contains("No servers running"));
    click(*panel, "getStarted");
    EXPECT_TRUE(store->settings().hasOnboarded());
    EXPECT_EQ(world.settings->values.value("hasOnboarded"), QVariant(true));
    EXPECT_FALSE(shownTexts(*panel).contains("Get Started"));
    const std::pair<Tab, QString> cases[] = {{Tab::overview, "all quiet"},
                                             {Tab::active, "No servers running"},
                                             {Tab::stopped, "Nothing stopped yet"}};
    for (const auto& [tab, text] : cases) {
        panel->showTab(tab);
        EXPECT_TRUE(shownTexts(*panel).contains(text)) << text.toStdString();
    }
}

// The model applies a new list as the least it can say about it, and never resets.
TEST(PanelModel, AppliesAListAsInsertionsRemovalsMovesAndChanges) {
    // "1 2* 3": rows of servers 1, 2 and 3, where a star is a changed memory.
    auto rows = [](const std::string& list) {
        std::vector<ui::ServerListModel::Row> result;
        std::istringstream words(list);
        for (std::string word; words >> word;) {
            Server server = test::devServer(std::stoi(word), 3000 + std::stoi(word));
            if (word.ends_with('*')) server.memoryBytes = 1u << 30;
            result.push_back({"shop", {server, {server.port}, {}}});
        }
        return result;
    };
    const struct {
        const char* name;
        std::string before;
        std::string after;
        std::string told;
    } cases[] = {
        {"nothing changed", "1 2 3", "1 2 3", ""}, {"insert", "1 3", "1 2 3", "+1 "},
        {"remove", "1 2 3", "1 3", "-1 "},         {"move", "1 2 3", "3 1 2", "m2>0 "},
        {"change", "1 2 3", "1 2* 3", "~1 "},      {"all at once", "1 2 3", "4 3* 1", "-1 +0 m2>1 ~1 "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui::ServerListModel model;
        model.apply(rows(c.before));
        std::string log;
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int) {
            log += "+" + std::to_string(first) + " ";
        });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, [&](const QModelIndex&, int first, int) {
            log += "-" + std::to_string(first) + " ";
        });
        QObject::connect(&model, &QAbstractItemModel::rowsMoved,
                         [&](const QModelIndex&, int from, int, const QModelIndex&, int to) {
                             log += "m" + std::to_string(from) + ">" + std::to_string(to) + " ";
                         });
        QObject::connect(&model, &QAbstractItemModel::dataChanged,
                         [&](const QModelIndex& index) { log += "~" + std::to_string(index.row()) + " "; });
        QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { log += "reset "; });
        model.apply(rows(c.after));
        EXPECT_EQ(log, c.told);
        EXPECT_EQ(model.rows(), rows(c.after));
    }
}

}  // namespace
}  // namespace tarvik

TEST(PanelKit, BreakableLetsEveryLongRunWrapAndLeavesWordsAndPairsWhole) {
    const QString pair = QString::fromUtf8("😀");
    const QString longRun(60, 'f');
    const struct {
        QString text;
        int breaks;
    } cases[] = {{"Vite on port 5173 grew 12 MB", 0},
                 {longRun, 2},
                 {"Next.js (" + longRun + ") grew", 2},
                 {pair.repeated(30), 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QString shown = tarvik::ui::breakable(c.text);
        EXPECT_EQ(shown.count(QChar(0x200B)), c.breaks);
        EXPECT_EQ(QString(shown).remove(QChar(0x200B)), c.text);
        for (qsizetype i = shown.indexOf(QChar(0x200B)); i > 0; i = shown.indexOf(QChar(0x200B), i + 1))
            EXPECT_FALSE(shown[i - 1].isHighSurrogate());
    }
}
