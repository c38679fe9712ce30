#include "ui/dashboard/ProjectsPage.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "core/servers/ServerGroup.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/dashboard/HistoryChart.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/DashboardSection.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/ShareMenu.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

QString countLine(int count) {
    if (count == 0) return "No dev servers running. Start one and it shows up here.";
    return QString::number(count) + (count == 1 ? " dev server" : " dev servers") +
           " running, grouped by project.";
}

QString portsText(const std::vector<int>& ports) {
    QStringList parts;
    for (int port : ports) parts << ":" + QString::number(port);
    return parts.join("  ");
}

class ProjectsPage : public QWidget {
public:
    ProjectsPage(ServerStore& store, QWidget* parent)
        : QWidget(parent), m_store(store), m_state(new PanelState(this)) {
        setObjectName(qs("page:" + std::string(DashboardSections::rawValue(DashboardSection::projects))));
        const bool dark = Theme::isDark(parent);
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        auto* scroll = pageScrollArea(this);
        outer->addWidget(scroll);
        auto* content = new QWidget(scroll);
        auto* layout = new QVBoxLayout(content);
        layout->setContentsMargins(28, 22, 28, 28);
        layout->setSpacing(14);
        auto* heading = new QHBoxLayout;
        heading->addWidget(makeLabel(qs(DashboardSections::title(DashboardSection::projects)), 10,
                                     QFont::DemiBold, Theme::Role::secondaryText, dark, content));
        heading->addStretch();
        auto* share = new CapsuleButton("Share", CapsuleButton::Style::plain, content, "export");
        share->setObjectName("share");
        connect(share, &QAbstractButton::clicked, this, [this, share] { ShareMenu(m_store).popUp(share); });
        heading->addWidget(share);
        layout->addLayout(heading);
        m_count = makeLabel({}, 17, QFont::DemiBold, Theme::Role::text, dark, content);
        m_count->setObjectName("count");
        m_count->setWordWrap(true);
        layout->addWidget(m_count);

        auto* charts = new QHBoxLayout;
        charts->setSpacing(10);
        auto bytes = [](double value) { return qs(ByteFormat::short_(static_cast<std::uint64_t>(value))); };
        auto cpu = [](double value) { return QString::number(value, 'f', 0) + "%"; };
        m_memory = addChart(charts, "Dev servers' memory", {"dev.memory", {}, bytes, std::nullopt, false},
                            dark, content);
        m_cpu =
            addChart(charts, "Dev servers' CPU", {"dev.cpu", {}, cpu, std::nullopt, false}, dark, content);
        layout->addLayout(charts);

        m_groups = new QVBoxLayout;
        m_groups->setSpacing(14);
        layout->addLayout(m_groups);
        layout->addStretch();
        scroll->setWidget(content);

        // The rows are rebuilt on the next turn of the event loop: the click that asks for it comes
        // from a button the rebuild deletes.
        connect(&store, &ServerStore::changed, this, &ProjectsPage::refresh);
        connect(&store, &ServerStore::changed, this, &ProjectsPage::fillGroups, Qt::QueuedConnection);
        connect(m_state, &PanelState::changed, this, &ProjectsPage::fillGroups, Qt::QueuedConnection);
        refresh();
        fillGroups();
    }

private:
    static HistoryChart* addChart(QHBoxLayout* charts, const QString& title, HistoryChart::Options options,
                                  bool dark, QWidget* parent) {
        auto* card = new Card(parent, Card::Look::plain);
        auto* layout = new QVBoxLayout(card);
        layout->setContentsMargins(14, 12, 10, 10);
        layout->addWidget(makeLabel(title, 10.5, QFont::DemiBold, Theme::Role::text, dark, card));
        auto* chart = new HistoryChart(std::move(options), card);
        layout->addWidget(chart);
        charts->addWidget(card, 1);
        return chart;
    }

    void refresh() {
        int count = 0;
        for (const auto& group : projects()) count += group.displayCount();
        m_count->setText(countLine(count));
        m_memory->setHistory(m_store.vitalsHistory(), m_store.now());
        m_cpu->setHistory(m_store.vitalsHistory(), m_store.now());
    }

    // The machine's own listeners are no project of the user's.
    [[nodiscard]] std::vector<ServerGroup> projects() const {
        auto groups = m_store.groups();
        std::erase_if(groups, [](const ServerGroup& group) { return group.isSystem(); });
        return groups;
    }

    void fillGroups() {
        const bool dark = Theme::isDark(this);
        clearLayout(m_groups);
        for (const auto& group : projects()) {
            auto* block = new QWidget(m_groups->parentWidget());
            auto* lines = new QVBoxLayout(block);
            lines->setContentsMargins(0, 0, 0, 0);
            lines->setSpacing(4);
            lines->addWidget(makeHeader(group, dark, block));
            auto* card = new Card(block, Card::Look::list);
            auto* rows = new QVBoxLayout(card);
            rows->setContentsMargins(0, 0, 0, 0);
            rows->setSpacing(0);
            for (const auto& row : PortMerger::merge(group.servers))
                rows->addWidget(makeRow(row, dark, card));
            lines->addWidget(card);
            m_groups->addWidget(block);
        }
        showItems(m_groups);
    }

    QWidget* makeHeader(const ServerGroup& group, bool dark, QWidget* parent) {
        auto* header = new QWidget(parent);
        auto* layout = new QHBoxLayout(header);
        layout->setContentsMargins(2, 0, 0, 0);
        layout->setSpacing(6);
        layout->addWidget(makeLabel(qs(group.title), 12, QFont::DemiBold, Theme::Role::text, dark, header));
        if (group.branch)
            layout->addWidget(
                makeLabel(qs(*group.branch), 9.5, QFont::Normal, Theme::Role::tertiaryText, dark, header));
        layout->addStretch();
        const std::string key = "group:" + group.title;
        if (m_state->isConfirming(key)) {
            layout->addWidget(makeQuestion(
                stopAllQuestion(group.displayCount()),
                [this, servers = group.servers, title = group.title] {
                    m_store.actions().stop(servers, title);
                },
                *m_state, header));
            return header;
        }
        auto* stop = new CapsuleButton("Stop all", CapsuleButton::Style::plain, header);
        stop->setObjectName(qs("stopGroup:" + group.title));
        connect(stop, &QAbstractButton::clicked, this, [this, key] { m_state->confirm(key); });
        layout->addWidget(stop);
        return header;
    }

    QWidget* makeRow(const MergedServer& row, bool dark, QWidget* parent) {
        const Server& server = row.primary;
        const std::string id = row.id();
        auto* line = new QWidget(parent);
        auto* layout = new QHBoxLayout(line);
        layout->setContentsMargins(12, 8, 10, 8);
        layout->setSpacing(10);
        auto* text = new QVBoxLayout;
        text->setSpacing(1);
        auto* title = new QHBoxLayout;
        title->setSpacing(6);
        title->addWidget(
            makeLabel(qs(server.kind.name), 10.5, QFont::DemiBold, Theme::Role::text, dark, line));
        auto* ports =
            makeLabel(portsText(row.ports), 9.5, QFont::Normal, Theme::Role::secondaryText, dark, line);
        ports->setFont(Theme::monospaced(9.5));
        title->addWidget(ports);
        title->addStretch();
        text->addLayout(title);
        const std::string where =
            server.displayDirectory().value_or(server.containerName.value_or(server.processName));
        text->addWidget(makeLabel(qs(where), 9, QFont::Normal, Theme::Role::secondaryText, dark, line));
        layout->addLayout(text, 1);
        layout->addWidget(makeLabel(qs(server.memoryLabel().value_or("")), 9.5, QFont::Medium,
                                    Theme::Role::secondaryText, dark, line));
        if (m_state->isConfirming("row:" + id)) {
            layout->addWidget(makeQuestion(
                "Sure?", [this, server] { m_store.actions().kill(server, false); }, *m_state, line));
            return line;
        }
        if (!std::holds_alternative<ServiceProtocols::Database>(m_store.serviceProtocol(server))) {
            auto* open = new CapsuleButton("Open", CapsuleButton::Style::plain, line);
            open->setObjectName(qs("open:" + id));
            connect(open, &QAbstractButton::clicked, this,
                    [this, server] { m_store.actions().open(server); });
            layout->addWidget(open);
        }
        auto* stop = new CapsuleButton("Stop", CapsuleButton::Style::plain, line);
        stop->setObjectName(qs("stop:" + id));
        connect(stop, &QAbstractButton::clicked, this, [this, id] { m_state->confirm("row:" + id); });
        layout->addWidget(stop);
        return line;
    }

    ServerStore& m_store;
    PanelState* m_state;
    QLabel* m_count;
    HistoryChart* m_memory;
    HistoryChart* m_cpu;
    QVBoxLayout* m_groups;
};

}  // namespace

QWidget* makeProjectsPage(ServerStore& store, QWidget* parent) {
    return new ProjectsPage(store, parent);
}

}  // namespace tarvik::ui
