#include "ui/views/ServerRow.hpp"

#include <QContextMenuEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QMenu>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/support/Words.hpp"
#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/ServerDetailView.hpp"

namespace tarvik::ui {

namespace {

enum Trailing { figures, buttons, question };

QString portsText(const std::vector<int>& ports) {
    QStringList parts;
    for (int port : ports) parts << ":" + QString::number(port);
    return parts.join("  ");
}

bool isExposed(const ServerStore& store, const Server& server) {
    const auto exposed = store.exposedDevServers();
    return std::any_of(exposed.begin(), exposed.end(),
                       [&](const Server& other) { return other.pid == server.pid; });
}

}  // namespace

ServerRow::ServerRow(ServerStore& store, PanelState& state, const MergedServer& row, QWidget* parent)
    : QWidget(parent), m_store(store), m_state(state), m_server(row.primary), m_id(row.primary.id()) {
    setObjectName(qs("row:" + m_id));
    const bool dark = Theme::isDark(parent);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeLine(row.ports.empty() ? std::vector<int>{m_server.port} : row.ports, dark));
    if (m_state.expandedRowID() == m_id) layout->addWidget(new ServerDetailView(store, state, row, this));
}

QWidget* ServerRow::makeLine(const std::vector<int>& ports, bool dark) {
    auto* line = new QWidget(this);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(10, 7, 8, 7);
    layout->setSpacing(10);

    auto* icon = new QLabel(line);
    icon->setFixedSize(28, 28);
    icon->setPixmap(Icons::serverIcon(m_server, 28, dark, devicePixelRatioF()));
    layout->addWidget(icon);

    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    auto* title = new QHBoxLayout;
    title->setSpacing(6);
    title->addWidget(makeLabel(qs(m_server.kind.name), 10.5, QFont::DemiBold, Theme::Role::text, dark, line));
    auto* portLabel = new ElidedLabel(portsText(ports), line, Qt::ElideRight);
    portLabel->setFont(Theme::monospaced(9.5));
    setTextColour(portLabel, Theme::color(Theme::Role::secondaryText, dark));
    title->addWidget(portLabel);
    if (isExposed(m_store, m_server)) {
        auto* badge = makeSymbol("wifi", Theme::color(Theme::Role::orange, dark), 12, line);
        badge->setToolTip("Reachable from your network");
        title->addWidget(badge);
    }
    title->addStretch();
    text->addLayout(title);
    const std::string where =
        m_server.displayDirectory().value_or(m_server.containerName.value_or(m_server.processName));
    auto* directory = new ElidedLabel(qs(where), line);
    directory->setFont(Theme::font(9));
    setTextColour(directory, Theme::color(Theme::Role::secondaryText, dark));
    text->addWidget(directory);
    layout->addLayout(text, 1);

    m_trailing = new QStackedWidget(line);
    m_trailing->addWidget(makeFigures(dark));
    m_trailing->addWidget(makeButtons(dark));
    if (m_state.isConfirming("row:" + m_id)) {
        const bool stubborn = m_store.stubbornPids().contains(m_server.pid);
        m_trailing->addWidget(makeQuestion(
            stubborn ? "Force?" : "Sure?", [this, stubborn] { m_store.kill(m_server, stubborn); }, m_state,
            this));
        m_trailing->setCurrentIndex(question);
    }
    layout->addWidget(m_trailing);
    return line;
}

QWidget* ServerRow::makeFigures(bool dark) {
    auto* figures = new QWidget(this);
    auto* layout = new QVBoxLayout(figures);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    auto* memory = makeLabel(qs(m_server.memoryLabel().value_or("")), 9.5, QFont::Medium, Theme::Role::text,
                             dark, figures);
    auto* uptime = makeLabel(qs(m_server.uptimeLabel().value_or("")), 9, QFont::Normal,
                             Theme::Role::tertiaryText, dark, figures);
    for (auto* label : {memory, uptime}) {
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        layout->addWidget(label);
    }
    return figures;
}

QWidget* ServerRow::makeButtons(bool dark) {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QColor colour = Theme::color(Theme::Role::secondaryText, dark);
    auto add = [&](const char* name, std::string_view symbol, const QString& tip, auto action) {
        auto* button = new SymbolButton(symbol, colour, box);
        button->setObjectName(qs(name + m_id));
        button->setToolTip(tip);
        connect(button, &QAbstractButton::clicked, this, action);
        layout->addWidget(button);
        return button;
    };
    if (!std::holds_alternative<ServiceProtocols::Database>(m_store.serviceProtocol(m_server)))
        add("open:", "safari", "Open in Browser", [this] { m_store.open(m_server); });
    const bool copied = m_state.isCopied("copy:" + m_id);
    auto* copy = add("copy:", copied ? "checkmark" : "doc.on.doc", "Copy URL", [this] {
        m_store.copyURL(m_server);
        m_state.markCopied("copy:" + m_id);
    });
    if (copied) copy->setSymbol("checkmark", Theme::color(Theme::Role::green, dark));
    add("stop:", "stop.circle", "Stop", [this] { m_state.confirm("row:" + m_id); });
    auto* expand = add("expand:", "chevron.right", "Details", [this] { m_state.toggleExpanded(m_id); });
    if (m_state.expandedRowID() == m_id) expand->setSymbol("chevron.right", colour, 90);
    return box;
}

QMenu* ServerRow::makeMenu(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    ServerStore* store = &m_store;
    const Server server = m_server;
    menu->addAction("Open in Browser", [store, server] { store->open(server); });
    menu->addAction("Copy URL", [store, server] { store->copyURL(server); });
    menu->addAction(qs(Words::text("Reveal in Finder")), [store, server] { store->revealDirectory(server); })
        ->setEnabled(server.cwd.has_value());
    menu->addSeparator();
    menu->addAction("Kill Process", [store, server] { store->kill(server, false); });
    menu->addAction("Force Kill", [store, server] { store->kill(server, true); });
    return menu;
}

void ServerRow::setHovered(bool hovered) {
    if (m_trailing->count() > question) return;
    m_trailing->setCurrentIndex(hovered ? buttons : figures);
}

void ServerRow::enterEvent(QEnterEvent*) {
    setHovered(true);
}

void ServerRow::leaveEvent(QEvent*) {
    setHovered(false);
}

void ServerRow::showEvent(QShowEvent*) {
    // A row rebuilt under a resting mouse gets no enter event.
    setHovered(rect().contains(mapFromGlobal(QCursor::pos())));
}

void ServerRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        m_state.toggleExpanded(m_id);
}

void ServerRow::contextMenuEvent(QContextMenuEvent* event) {
    // The menu belongs to the window so that a rebuild of the list leaves it open.
    QMenu* menu = makeMenu(window());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

}  // namespace tarvik::ui
