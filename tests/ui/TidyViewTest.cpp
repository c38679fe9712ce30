#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "core/support/ByteFormat.hpp"
#include "ui/Fakes.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/ViewTesting.hpp"
#include "ui/views/TidyView.hpp"

namespace tarvik {
namespace {

using test::click;
using test::FakeWorld;
using test::shownTexts;
using ui::ServerStore;
using ui::TidyView;

constexpr std::uint64_t MB = 1024 * 1024;

Server listener(std::int32_t pid, int port, std::string name, std::uint64_t megabytes) {
    Server server;
    server.pid = pid;
    server.port = port;
    server.processName = std::move(name);
    server.category = ServerCategory::system;
    server.memoryBytes = megabytes * MB;
    return server;
}

QString size(std::uint64_t bytes) {
    return QString::fromStdString(ByteFormat::short_(bytes));
}

// The texts of the row that shows `text`.
QStringList rowTexts(const QWidget& view, const QString& text) {
    for (auto* label : view.findChildren<QLabel*>())
        if (label->text() == text && label->isVisibleTo(&view)) return shownTexts(*label->parentWidget());
    return {};
}

class TidyViewTest : public testing::Test {
protected:
    FakeWorld world;
    std::unique_ptr<ServerStore> store;
    std::unique_ptr<TidyView> view;

    // Every listener's process is the user's unless the test said otherwise.
    TidyView& make(std::vector<Server> servers, std::optional<std::set<std::int32_t>> idle) {
        for (const auto& server : servers)
            if (server.pid > 0) world.control->owners.try_emplace(server.pid, 1000);
        store = std::make_unique<ServerStore>(world.services());
        show(world, *store, std::move(servers));
        view = std::make_unique<TidyView>(*store, std::move(idle));
        test::settle();
        return *view;
    }
    [[nodiscard]] QString figure() const { return view->findChild<QLabel*>("figure")->text(); }
    [[nodiscard]] QPushButton* cleanUpButton() const {
        for (auto* button : view->findChildren<QPushButton*>())
            if (button->text().startsWith("Clean Up")) return button;
        return nullptr;
    }
};

TEST_F(TidyViewTest, WithoutSystemListenersThereIsNothingToReviewOrKeep) {
    Server dev = listener(10, 3000, "node", 200);
    dev.category = ServerCategory::dev;
    auto shown = shownTexts(make({dev}, std::set<std::int32_t>{10}));
    EXPECT_EQ(shown.mid(shown.indexOf("Review"), 2), QStringList({"Review", "0"}));
    EXPECT_TRUE(shown.contains(QString::fromUtf8(
        "Nothing to clean up — no background listener has been idle long enough to be sure.")));
    EXPECT_FALSE(shown.contains("Kept Safe"));
    EXPECT_EQ(cleanUpButton()->text(), "Clean Up");
    EXPECT_FALSE(cleanUpButton()->isEnabled());
}

// Two sockets of one process free its memory once.
TEST_F(TidyViewTest, TickedRowsAddUpEachProcessOnceAndCanAllBeDeselected) {
    auto& tidy = make({listener(700, 5000, "syncd", 40), listener(700, 5001, "syncd", 40),
                       listener(701, 6000, "mediad", 30)},
                      {{700, 701}});
    click(tidy, ":5000");
    click(tidy, ":5001");
    EXPECT_EQ(figure(), size(40 * MB));
    EXPECT_EQ(cleanUpButton()->text(), QString::fromUtf8("Clean Up — free ") + size(40 * MB));
    EXPECT_TRUE(shownTexts(tidy).contains("Select All"));
    click(tidy, ":6000");
    click(tidy, "Deselect All");
    EXPECT_EQ(figure(), size(0));
    EXPECT_FALSE(cleanUpButton()->isEnabled());
    click(tidy, "Select All");
    EXPECT_EQ(figure(), size(70 * MB));
    EXPECT_TRUE(shownTexts(tidy).contains("Deselect All"));
}

TEST_F(TidyViewTest, CleaningUpStopsOnlyTheTickedServersThatAreStillIdleAndEmptiesTheSelection) {
    std::vector<Server> listeners{listener(700, 5000, "syncd", 40), listener(701, 6000, "mediad", 30),
                                  listener(702, 7000, "castd", 20)};
    auto& tidy = make(listeners, std::nullopt);
    // Three quiet samples make a listener idle, one busy one wakes it.
    store->refresh();
    store->refresh();
    test::settle();
    click(tidy, ":5000");
    click(tidy, ":6000");
    listeners[0].cpuPercent = 5;
    show(world, *store, listeners);
    test::settle();
    EXPECT_EQ(figure(), size(30 * MB));
    cleanUpButton()->click();
    EXPECT_EQ(world.control->tidied, std::vector<std::string>{"701:6000"});
    EXPECT_EQ(figure(), size(0));
    EXPECT_FALSE(cleanUpButton()->isEnabled());
}

TEST_F(TidyViewTest, KeepsTheSystemsOwnAndTheBusyListenersSafeWithTheReason) {
    auto machine = ui::Preview::servers();
    machine.push_back(listener(3520, 57621, "spotify", 200));
    auto& tidy = make(machine, std::nullopt);
    EXPECT_FALSE(shownTexts(tidy).contains(":631"));
    click(tidy, "Kept Safe");
    EXPECT_EQ(rowTexts(tidy, ":631"), QStringList({":631", "cupsd", "Linux"}));
    EXPECT_EQ(rowTexts(tidy, ":22"), QStringList({":22", "sshd", "Linux"}));
    EXPECT_EQ(rowTexts(tidy, ":57621"), QStringList({":57621", "spotify", "active"}));
}

// Only what the user may stop is offered: a listener whose owner cannot be seen, or is another
// user, is kept safe with whose it is.
TEST_F(TidyViewTest, OffersOnlyListenersTheUserMayStopAndSaysWhoseTheOthersAre) {
    world.control->owners = {{800, 65534}, {801, 0}};
    world.control->users = {{65534, "nobody"}};
    auto& tidy = make({listener(700, 5000, "syncd", 40), listener(0, 6000, "", 0),
                       listener(800, 7000, "proxy", 30), listener(801, 8000, "agent", 20)},
                      {{0, 700, 800, 801}});
    const auto shown = shownTexts(tidy);
    EXPECT_EQ(shown.mid(shown.indexOf("Review"), 2), QStringList({"Review", "1"}));
    click(tidy, "Select All");
    EXPECT_EQ(figure(), size(40 * MB));
    click(tidy, "Kept Safe");
    EXPECT_EQ(rowTexts(tidy, ":6000"), QStringList({":6000", "Owner not visible to you"}));
    EXPECT_EQ(rowTexts(tidy, ":7000"), QStringList({":7000", "proxy", "Owned by the user nobody"}));
    EXPECT_EQ(rowTexts(tidy, ":8000"), QStringList({":8000", "agent", "Linux"}));
    cleanUpButton()->click();
    EXPECT_EQ(world.control->tidied, std::vector<std::string>{"700:5000"});
}

}  // namespace
}  // namespace tarvik
