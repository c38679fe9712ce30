#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>

#include "core/servers/ServerGroup.hpp"
#include "core/support/Words.hpp"
#include "ui/Fakes.hpp"
#include "ui/Preview.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/HeatPage.hpp"
#include "ui/dashboard/MetricPage.hpp"
#include "ui/dashboard/OverviewPage.hpp"
#include "ui/dashboard/ProjectsPage.hpp"

namespace tarvik {
namespace {

using test::FakeWorld;
using ui::ServerStore;

QStringList shownTexts(const QWidget& view) {
    QStringList result;
    for (auto* label : view.findChildren<QLabel*>())
        if (label->isVisibleTo(&view) && !label->text().isEmpty()) result << label->text();
    return result;
}

void click(const QWidget& view, const QString& name) {
    QApplication::processEvents();
    auto* button = view.findChild<QAbstractButton*>(name);
    ASSERT_NE(button, nullptr) << name.toStdString();
    button->click();
    QApplication::processEvents();
}

Finding finding(Finding::Severity severity, std::string title) {
    return {Finding::Kind::cpu, severity, std::move(title), "detail", std::nullopt};
}

// The non-system groups of the preview machine.
std::vector<ServerGroup> projects() {
    auto groups = ServerGrouper::groups(ui::Preview::data().servers);
    std::erase_if(groups, [](const ServerGroup& group) { return group.isSystem(); });
    return groups;
}

class DashboardPagesThreeTest : public testing::Test {
protected:
    std::unique_ptr<ServerStore> previewStore(std::vector<Server> servers) {
        return std::make_unique<ServerStore>(world.services(), ui::PreviewData{std::move(servers)});
    }

    FakeWorld world;
    QWidget window;
};

TEST_F(DashboardPagesThreeTest, TheOverviewIsHeadedByTheMostSevereFinding) {
    const Finding allClear{Finding::Kind::allClear, Finding::Severity::calm, "Fine", "", std::nullopt};
    struct Case {
        std::vector<Finding> findings;
        QString heading;
    } cases[] = {
        {{}, "All clear"},
        {{allClear}, "All clear"},
        {{finding(Finding::Severity::notice, "Note")}, "Good to know"},
        {{finding(Finding::Severity::notice, "Note"), finding(Finding::Severity::warning, "Look")},
         "Worth a look"},
        {{finding(Finding::Severity::warning, "Look"), finding(Finding::Severity::critical, "Now"),
          finding(Finding::Severity::notice, "Note")},
         "Needs attention now"},
    };
    auto store = previewStore({});
    const auto fine = QString::fromStdString(Words::text("Your Mac is doing fine."));
    for (const auto& test : cases) {
        SCOPED_TRACE(test.heading.toStdString());
        store->setPreviewHeat({}, test.findings);
        auto* page = ui::makeOverviewPage(*store, &window);
        EXPECT_EQ(page->findChild<QLabel*>("verdict")->text(), test.heading);
        const auto texts = shownTexts(*page);
        EXPECT_EQ(texts.contains(fine), test.heading == "All clear");
        for (const auto& shown : test.findings)
            if (shown.kind != Finding::Kind::allClear) {
                EXPECT_TRUE(texts.contains(QString::fromStdString(shown.title)));
            }
        delete page;
    }
}

TEST_F(DashboardPagesThreeTest, TheOverviewSaysItIsMeasuringBeforeTheFirstRefresh) {
    ServerStore store(world.services());
    auto* page = ui::makeOverviewPage(store, &window);
    const auto texts = shownTexts(*page);
    EXPECT_TRUE(texts.contains(QString::fromStdString(Words::text("Measuring your Mac."))));
    EXPECT_FALSE(texts.contains("All clear"));
}

TEST_F(DashboardPagesThreeTest, TheMemoryVitalNamesThePressure) {
    auto store = previewStore({});
    const std::pair<MemoryPressure, QString> cases[] = {{MemoryPressure::normal, "Normal"},
                                                        {MemoryPressure::warning, "Tight"},
                                                        {MemoryPressure::critical, "Critical"}};
    for (const auto& [pressure, word] : cases) {
        store->setPreviewPressure(pressure);
        auto* page = ui::makeOverviewPage(*store, &window);
        EXPECT_TRUE(shownTexts(*page->findChild<QWidget*>("vital:memory")).contains(word))
            << word.toStdString();
        delete page;
    }
}

TEST_F(DashboardPagesThreeTest, TheHeatPageShowsATemperatureOnlyWhenASensorGivesOne) {
    auto store = previewStore({});
    auto claimsTemperature = [&] {
        auto* page = ui::makeHeatPage(*store, &window);
        const auto texts = shownTexts(*page).join("\n");
        delete page;
        return texts.contains(QString::fromUtf8("°C")) || texts.contains("Temperature normal") ||
               texts.contains("Temperature is normal");
    };
    SystemVitals vitals;
    vitals.thermal = ThermalLevel::nominal;
    store->setPreviewVitals(vitals);
    EXPECT_FALSE(claimsTemperature());
    vitals.chipCelsius = 61;
    store->setPreviewVitals(vitals);
    EXPECT_TRUE(claimsTemperature());
}

// A store per case, each on its own world.
TEST(DashboardPagesThreeCountTest, TheProjectsCountLineCountsTheDevServers) {
    QWidget window;
    const auto groups = projects();
    ASSERT_GE(groups.size(), 2u);
    struct Case {
        std::vector<Server> servers;
        QString line;
    } cases[] = {
        {{}, "No dev servers running. Start one and it shows up here."},
        {{groups[0].servers[0]}, "1 dev server running, grouped by project."},
        {{groups[0].servers[0], groups[1].servers[0]}, "2 dev servers running, grouped by project."},
    };
    for (const auto& test : cases) {
        FakeWorld own;
        ServerStore store(own.services(), ui::PreviewData{test.servers});
        auto* page = ui::makeProjectsPage(store, &window);
        EXPECT_EQ(page->findChild<QLabel*>("count")->text(), test.line);
        delete page;
    }
}

TEST_F(DashboardPagesThreeTest, StoppingAServerOrAProjectAsksFirst) {
    const auto group = projects().front();
    auto store = previewStore(ui::Preview::data().servers);
    auto* page = ui::makeProjectsPage(*store, &window);
    const auto row = PortMerger::merge(group.servers).front();

    click(*page, QString::fromStdString("stop:" + row.id()));
    EXPECT_TRUE(world.control->actions.empty());
    click(*page, "confirm");
    EXPECT_EQ(world.control->actions, std::vector{StopActions::of(row.primary, false)});

    click(*page, QString::fromStdString("stopGroup:" + group.title));
    EXPECT_TRUE(world.control->groupStops.empty());
    click(*page, "confirm");
    std::vector<std::string> ids;
    for (const auto& server : group.servers) ids.push_back(server.id());
    EXPECT_EQ(world.control->groupStops, ids);
}

}  // namespace
}  // namespace tarvik
