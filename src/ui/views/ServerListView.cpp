#include "ui/views/ServerListView.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/ServerStore.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/ServerRow.hpp"

namespace tarvik::ui {

ServerListView::ServerListView(ServerStore& store, PanelState& state, QWidget* parent)
    : QWidget(parent), m_store(store), m_state(state), m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(10, 4, 10, 10);
    m_layout->setSpacing(6);
}

void ServerListView::rebuild() {
    clearLayout(m_layout);
    const bool dark = Theme::isDark(this);
    const auto groups = m_store.groups();
    if (groups.empty()) {
        m_layout->addWidget(makeEmptyState("moon.zzz", "No servers running",
                                           "Start a dev server and it shows up here.", dark, this));
        return;
    }
    for (const auto& group : groups) {
        m_layout->addWidget(makeHeader(group, dark));
        auto* card = new Card(this, Card::Look::outlined);
        auto* rows = new QVBoxLayout(card);
        rows->setContentsMargins(0, 1, 0, 1);
        rows->setSpacing(0);
        bool first = true;
        for (const auto& row : PortMerger::merge(group.servers)) {
            if (!first) rows->addWidget(makeSeparator(dark, card));
            first = false;
            rows->addWidget(new ServerRow(m_store, m_state, row, card));
        }
        m_layout->addWidget(card);
        m_layout->addSpacing(4);
    }
    m_layout->addStretch();
}

QWidget* ServerListView::makeHeader(const ServerGroup& group, bool dark) {
    auto* header = new QWidget(this);
    header->setObjectName(qs("group:" + group.title));
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(4, 2, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(makeLabel(qs(group.title), 10, QFont::Bold, Theme::Role::text, dark, header));
    if (group.branch) {
        const QColor tertiary = Theme::color(Theme::Role::tertiaryText, dark);
        layout->addSpacing(4);
        layout->addWidget(makeSymbol("arrow.triangle.branch", tertiary, 11, header));
        auto* branch =
            makeLabel(qs(*group.branch), 9, QFont::Normal, Theme::Role::tertiaryText, dark, header);
        branch->setFont(Theme::monospaced(9));
        layout->addWidget(branch);
    }
    layout->addStretch();
    // The machine's own listeners are not the user's to stop as a batch.
    if (group.isSystem()) return header;
    if (m_state.isConfirming("group:" + group.title)) {
        const int count = group.displayCount();
        layout->addWidget(makeQuestion(
            stopAllQuestion(count),
            [this, servers = group.servers, title = group.title] { m_store.stop(servers, title); }, m_state,
            header));
        return header;
    }
    auto* stop = new SymbolButton("stop.circle", Theme::color(Theme::Role::secondaryText, dark), header, 14);
    stop->setObjectName(qs("stopGroup:" + group.title));
    stop->setToolTip(qs("Stop every server in " + group.title));
    connect(stop, &QAbstractButton::clicked, this,
            [this, key = "group:" + group.title] { m_state.confirm(key); });
    layout->addWidget(stop);
    return header;
}

}  // namespace tarvik::ui
