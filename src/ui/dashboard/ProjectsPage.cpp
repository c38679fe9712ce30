#include "ui/dashboard/ProjectsPage.hpp"

#include <QCoreApplication>
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

struct ProjectsText {
    Q_DECLARE_TR_FUNCTIONS(ProjectsPage)
};

QString countLine(int count) {
    if (count == 0) return ProjectsText::tr("No dev servers running. Start one and it shows up here.");
    if (count == 1) return ProjectsText::tr("1 dev server running, grouped by project.");
    return ProjectsText::tr("%1 dev servers running, grouped by project.").arg(count);
}

QString portsText(const std::vector<int>& ports) {
    QStringList parts;
    for (int port : ports) parts << ProjectsText::tr(":%1").arg(port);
    return parts.join("  ");
}

class ProjectsPage : public QWidget {
public:
    ProjectsPage(ServerStore& store, QWidget* parent)
        : QWidget(parent), m_store(store), m_state(new PanelState(this)) {
        setObjectName(qs("page:" + std::string(DashboardSections::rawValue(DashboardSection::projects))));
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        auto* scroll = pageScrollArea(this);
        outer->addWidget(scroll);
        auto* content = new QWidget(scroll);
        auto* layout = new QVBoxLayout(content);
        layout->setContentsMargins(Theme::Space::page, Theme::Space::huge, Theme::Space::page,
                                   Theme::Space::page);
        layout->setSpacing(Theme::Space::xxl);
        auto* heading = new QHBoxLayout;
        heading->addWidget(makeLabel(DashboardSections::titleText(DashboardSection::projects),
                                     Theme::Text::subheadline, QFont::DemiBold, Theme::Role::secondaryText,
                                     content));
        heading->addStretch();
        auto* share =
            new CapsuleButton(ProjectsText::tr("Share"), CapsuleButton::Style::plain, content, "export");
        share->setObjectName("share");
        connect(share, &QAbstractButton::clicked, this, [this, share] { ShareMenu(m_store).popUp(share); });
        heading->addWidget(share);
        layout->addLayout(heading);
        m_count = makeLabel({}, Theme::Text::title2, Theme::Role::text, content);
        m_count->setObjectName("count");
        m_count->setWordWrap(true);
        layout->addWidget(m_count);

        auto* charts = new QHBoxLayout;
        charts->setSpacing(Theme::Space::l);
        auto bytes = [](double value) { return qs(ByteFormat::short_(static_cast<std::uint64_t>(value))); };
        auto cpu = [](double value) { return ProjectsText::tr("%1%").arg(value, 0, 'f', 0); };
        m_memory = addChart(charts, ProjectsText::tr("Dev servers' memory"),
                            {"dev.memory", {}, bytes, std::nullopt, false}, content);
        m_cpu = addChart(charts, ProjectsText::tr("Dev servers' CPU"),
                         {"dev.cpu", {}, cpu, std::nullopt, false}, content);
        layout->addLayout(charts);

        m_groups = new QVBoxLayout;
        m_groups->setSpacing(Theme::Space::xxl);
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
                                  QWidget* parent) {
        auto* card = new Card(parent, Card::Look::plain);
        auto* layout = new QVBoxLayout(card);
        layout->setContentsMargins(Theme::Space::xxl, Theme::Space::xl, Theme::Space::l, Theme::Space::l);
        layout->addWidget(makeLabel(title, Theme::Text::callout, QFont::DemiBold, Theme::Role::text, card));
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
        // The rows are made anew and the focused control with them: the focus goes back to its
        // namesake, into a question just asked, or after one to the button that asked it.
        QString focused;
        if (QWidget* widget = window()->focusWidget(); widget && inGroups(widget)) {
            focused = widget->objectName();
            widget->clearFocus();
        }
        clearLayout(m_groups);
        for (const auto& group : projects()) {
            auto* block = new QWidget(m_groups->parentWidget());
            auto* lines = new QVBoxLayout(block);
            lines->setContentsMargins(0, 0, 0, 0);
            lines->setSpacing(Theme::Space::xs);
            lines->addWidget(makeHeader(group, block));
            auto* card = new Card(block, Card::Look::list);
            auto* rows = new QVBoxLayout(card);
            rows->setContentsMargins(0, 0, 0, 0);
            rows->setSpacing(0);
            for (const auto& row : PortMerger::merge(group.servers)) rows->addWidget(makeRow(row, card));
            lines->addWidget(card);
            m_groups->addWidget(block);
        }
        showItems(m_groups);
        if (focused.isEmpty()) return;
        QString next = focused;
        if (m_state->isAsking() && focused == m_asker)
            next = "cancel";
        else if (!m_state->isAsking() && (focused == "confirm" || focused == "cancel"))
            next = m_asker;
        for (auto* widget : m_groups->parentWidget()->findChildren<QWidget*>(next))
            if (inGroups(widget)) return widget->setFocus(Qt::OtherFocusReason);
    }

    [[nodiscard]] bool inGroups(const QWidget* widget) const {
        for (int i = 0; i < m_groups->count(); ++i)
            if (QWidget* block = m_groups->itemAt(i)->widget(); block && block->isAncestorOf(widget))
                return true;
        return false;
    }

    QWidget* makeHeader(const ServerGroup& group, QWidget* parent) {
        auto* header = new QWidget(parent);
        auto* layout = new QHBoxLayout(header);
        layout->setContentsMargins(Theme::Space::xxs, 0, 0, 0);
        layout->setSpacing(Theme::Space::s);
        auto* title = new ElidedLabel(qs(group.title), Theme::font(Theme::Text::bodyLarge, QFont::DemiBold),
                                      Theme::Role::text, header, Qt::ElideRight);
        title->setObjectName("groupTitle");
        layout->addWidget(title);
        if (group.branch) {
            auto* branch = new ElidedLabel(qs(*group.branch), Theme::font(Theme::Text::footnote),
                                           Theme::Role::tertiaryText, header, Qt::ElideRight);
            branch->setObjectName("branch");
            layout->addWidget(branch);
        }
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
        auto* stop = new CapsuleButton(ProjectsText::tr("Stop all"), CapsuleButton::Style::plain, header);
        stop->setObjectName(qs("stopGroup:" + group.title));
        connect(stop, &QAbstractButton::clicked, this, [this, key, stop] {
            m_asker = stop->objectName();
            m_state->confirm(key);
        });
        layout->addWidget(stop);
        return header;
    }

    QWidget* makeRow(const MergedServer& row, QWidget* parent) {
        const Server& server = row.primary;
        const std::string id = row.id();
        auto* line = new QWidget(parent);
        auto* layout = new QHBoxLayout(line);
        layout->setContentsMargins(Theme::Space::xl, Theme::Space::m, Theme::Space::l, Theme::Space::m);
        layout->setSpacing(Theme::Space::l);
        auto* text = new QVBoxLayout;
        text->setSpacing(Theme::Space::hairline);
        auto* title = new QHBoxLayout;
        title->setSpacing(Theme::Space::s);
        title->addWidget(new ElidedLabel(qs(server.kind.name),
                                         Theme::font(Theme::Text::callout, QFont::DemiBold),
                                         Theme::Role::text, line, Qt::ElideRight));
        title->addWidget(new ElidedLabel(portsText(row.ports), Theme::monospaced(9.5),
                                         Theme::Role::secondaryText, line, Qt::ElideRight));
        title->addStretch();
        text->addLayout(title);
        const std::string where =
            server.displayDirectory().value_or(server.containerName.value_or(server.processName));
        auto* place = new ElidedLabel(qs(where), Theme::font(Theme::Text::caption),
                                      Theme::Role::secondaryText, line, Qt::ElideMiddle);
        place->setObjectName("where");
        text->addWidget(place);
        layout->addLayout(text, 1);
        layout->addWidget(makeLabel(qs(server.memoryLabel().value_or("")), Theme::Text::footnote,
                                    QFont::Medium, Theme::Role::secondaryText, line));
        if (m_state->isConfirming("row:" + id)) {
            layout->addWidget(makeQuestion(
                ProjectsText::tr("Sure?"), [this, server] { m_store.actions().kill(server, false); },
                *m_state, line));
            return line;
        }
        if (!std::holds_alternative<ServiceProtocols::Database>(m_store.serviceProtocol(server))) {
            auto* open = new CapsuleButton(ProjectsText::tr("Open"), CapsuleButton::Style::plain, line);
            open->setObjectName(qs("open:" + id));
            connect(open, &QAbstractButton::clicked, this,
                    [this, server] { m_store.actions().open(server); });
            layout->addWidget(open);
        }
        auto* stop = new CapsuleButton(ProjectsText::tr("Stop"), CapsuleButton::Style::plain, line);
        stop->setObjectName(qs("stop:" + id));
        connect(stop, &QAbstractButton::clicked, this, [this, id, stop] {
            m_asker = stop->objectName();
            m_state->confirm("row:" + id);
        });
        layout->addWidget(stop);
        return line;
    }

    ServerStore& m_store;
    PanelState* m_state;
    QLabel* m_count;
    HistoryChart* m_memory;
    HistoryChart* m_cpu;
    QVBoxLayout* m_groups;
    QString m_asker;  // the name of the button that asked the open question
};

}  // namespace

QWidget* makeProjectsPage(ServerStore& store, QWidget* parent) {
    return new ProjectsPage(store, parent);
}

}  // namespace tarvik::ui
