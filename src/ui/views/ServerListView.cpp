#include "ui/views/ServerListView.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/ServerStore.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/ServerRow.hpp"

namespace tarvik::ui {

namespace {

constexpr int titleRoom = 160;  // what a group's title keeps of the header's width at least

}  // namespace

ServerListView::ServerListView(ServerStore& store, PanelState& state, QWidget* parent)
    : QWidget(parent), m_store(store), m_state(state), m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(Theme::Space::l, Theme::Space::xs, Theme::Space::l, Theme::Space::l);
    m_layout->setSpacing(Theme::Space::s);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { addRows(first, last); });
    connect(&m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { removeRows(first, last); });
    connect(&m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) { updateRows(from.row(), to.row()); });
    connect(&m_model, &QAbstractItemModel::rowsMoved, this, [this] { m_arranged = false; });
}

void ServerListView::refresh() {
    showGroups(m_store.groups());
}

void ServerListView::release() {
    showGroups({});
}

void ServerListView::showGroups(const std::vector<ServerGroup>& wanted) {
    m_model.apply(wanted);
    for (const auto& row : m_model.rows()) {
        ServerRow* widget = m_rows.at(row.id());
        widget->refreshDetail();
        // One question at a time: the panel asks another one now.
        if (m_state.isAsking()) widget->cancel();
    }
    const auto& groups = m_model.groups();
    for (auto it = m_groups.begin(); it != m_groups.end();) {
        const bool kept = std::any_of(groups.begin(), groups.end(),
                                      [&](const ServerGroup& group) { return group.title == it->first; });
        if (kept) {
            ++it;
            continue;
        }
        delete it->second.header;
        delete it->second.card;
        it = m_groups.erase(it);
        m_arranged = false;
    }
    for (const auto& shown : groups) fillHeader(group(shown.title), shown);
    if (!m_arranged) arrange();
}

void ServerListView::reset() {
    for (const auto& entry : m_rows) entry.second->reset();
}

bool ServerListView::cancelQuestion() {
    for (const auto& entry : m_rows) {
        if (!entry.second->isAsking()) continue;
        entry.second->cancel();
        return true;
    }
    return false;
}

void ServerListView::moveEvent(QMoveEvent*) {
    // Scrolled, or pushed down: the rows under a resting pointer are others now.
    followPointer(this);
}

bool ServerListView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Move) followPointer(static_cast<QWidget*>(watched));
    return false;
}

void ServerListView::followPointer(const QWidget* within) {
    for (const auto& entry : m_rows)
        if (within->isAncestorOf(entry.second)) entry.second->followPointer();
}

void ServerListView::step(ServerRow* from, int by) {
    const auto& rows = m_model.rows();
    const auto at = std::find_if(rows.begin(), rows.end(), [&](const ServerListModel::Row& row) {
        return m_rows.at(row.id()) == from;
    });
    if (at == rows.end()) return;
    const auto index = (at - rows.begin()) + by;
    if (index < 0 || index >= static_cast<std::ptrdiff_t>(rows.size())) return;
    focusByKeyboard(m_rows.at(rows[static_cast<std::size_t>(index)].id()));
}

void ServerListView::addRows(int first, int last) {
    for (int i = first; i <= last; ++i) {
        const auto& row = m_model.rows()[static_cast<std::size_t>(i)];
        auto* widget = new ServerRow(m_store, row.server, group(row.group).card);
        widget->onAsk = [this](ServerRow* asking) { closeOthers(asking, true); };
        widget->onExpand = [this](ServerRow* expanded) { closeOthers(expanded, false); };
        widget->onStep = [this](ServerRow* from, int by) { step(from, by); };
        m_rows[row.id()] = widget;
    }
    m_arranged = false;
}

void ServerListView::removeRows(int first, int last) {
    for (int i = first; i <= last; ++i) {
        const auto found = m_rows.find(m_model.rows()[static_cast<std::size_t>(i)].id());
        delete found->second;
        m_rows.erase(found);
    }
    m_arranged = false;
}

void ServerListView::updateRows(int first, int last) {
    for (int i = first; i <= last; ++i) {
        const auto& row = m_model.rows()[static_cast<std::size_t>(i)];
        ServerRow* widget = m_rows.at(row.id());
        Card* card = group(row.group).card;
        if (widget->parentWidget() != card) {
            widget->setParent(card);
            m_arranged = false;
        }
        widget->setRow(row.server);
    }
}

ServerListView::Group& ServerListView::group(const std::string& title) {
    auto found = m_groups.find(title);
    if (found != m_groups.end()) return found->second;
    Group made;
    made.header = new QWidget(this);
    made.header->setObjectName(qs("group:" + title));
    auto* layout = new QHBoxLayout(made.header);
    layout->setContentsMargins(Theme::Space::xs, Theme::Space::xxs, 0, 0);
    layout->setSpacing(Theme::Space::xs);
    made.card = new Card(this, Card::Look::outlined);
    made.card->installEventFilter(this);
    auto* rows = new QVBoxLayout(made.card);
    rows->setContentsMargins(0, Theme::Space::hairline, 0, Theme::Space::hairline);
    rows->setSpacing(0);
    return m_groups.emplace(title, made).first->second;
}

void ServerListView::arrange() {
    m_arranged = true;
    // Only the layout's places are made again; the widgets in them stay.
    while (QLayoutItem* item = m_layout->takeAt(0)) delete item;
    if (m_model.rows().empty()) {
        if (!m_empty)
            m_empty = makeEmptyState("moon-stars", tr("No servers running"),
                                     tr("Start a dev server and it shows up here."), this);
        m_layout->addWidget(m_empty);
        m_empty->show();
        return;
    }
    delete m_empty;
    m_empty = nullptr;
    for (const auto& shown : m_model.groups()) {
        const Group& box = m_groups.at(shown.title);
        m_layout->addWidget(box.header);
        m_layout->addWidget(box.card);
        m_layout->addSpacing(Theme::Space::xs);
        QLayout* rows = box.card->layout();
        while (QLayoutItem* item = rows->takeAt(0)) delete item;
        for (const auto& row : m_model.rows()) {
            if (row.group != shown.title) continue;
            ServerRow* widget = m_rows.at(row.id());
            widget->setSeparated(rows->count() > 0);
            rows->addWidget(widget);
            widget->show();
        }
        box.header->show();
        box.card->show();
    }
    m_layout->addStretch();
}

void ServerListView::fillHeader(Group& box, const ServerGroup& group) {
    const bool asking = m_state.isConfirming("group:" + group.title);
    const std::string shown =
        group.branch.value_or("") + '\n' + (group.isSystem() ? "s" : "") + (asking ? "?" : "");
    if (box.shown == shown) {
        // The question counts the servers it would stop, which a refresh may change.
        if (auto* confirm = box.header->findChild<QAbstractButton*>("confirm"))
            confirm->setText(stopAllQuestion(group.displayCount()));
        return;
    }
    box.shown = shown;
    QLayout* layout = box.header->layout();
    clearLayout(layout);
    auto* line = static_cast<QHBoxLayout*>(layout);
    auto* title = new ElidedLabel(qs(group.title), Theme::font(Theme::Text::subheadline, QFont::Bold),
                                  Theme::Role::text, box.header, Qt::ElideRight);
    // A long branch is cut before the name of the project is.
    title->setMinimumWidth(std::min(title->sizeHint().width(), titleRoom));
    line->addWidget(title);
    if (group.branch) {
        line->addSpacing(Theme::Space::xs);
        line->addWidget(makeSymbol("git-branch", Theme::Role::tertiaryText, 11, box.header));
        auto* branch = new ElidedLabel(qs(*group.branch), Theme::monospaced(Theme::Text::caption),
                                       Theme::Role::tertiaryText, box.header, Qt::ElideRight);
        line->addWidget(branch);
    }
    line->addStretch();
    // The machine's own listeners are not the user's to stop as a batch.
    if (!group.isSystem() && asking) {
        // The servers are looked up on confirming: the group may have changed meanwhile.
        line->addWidget(makeQuestion(
            stopAllQuestion(group.displayCount()),
            [this, title = group.title] {
                for (const auto& current : m_model.groups())
                    if (current.title == title) m_store.actions().stop(current.servers, title);
            },
            m_state, box.header));
    } else if (!group.isSystem()) {
        auto* stop = new SymbolButton("stop-circle", Theme::Role::secondaryText, box.header, 14);
        stop->setObjectName(qs("stopGroup:" + group.title));
        stop->setToolTip(tr("Stop every server in %1").arg(qs(group.title)));
        stop->setAccessibleName(stop->toolTip());
        connect(stop, &QAbstractButton::clicked, this,
                [this, key = "group:" + group.title] { m_state.confirm(key); });
        line->addWidget(stop);
    }
    showItems(layout);
}

void ServerListView::closeOthers(ServerRow* row, bool questions) {
    for (const auto& entry : m_rows) {
        if (entry.second == row) continue;
        if (questions)
            entry.second->cancel();
        else
            entry.second->setExpanded(false);
    }
    if (questions && m_state.isAsking()) m_state.cancel();
}

}  // namespace tarvik::ui
