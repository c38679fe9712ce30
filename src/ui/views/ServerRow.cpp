#include "ui/views/ServerRow.hpp"

#include <QContextMenuEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/support/Words.hpp"
#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/ServerDetailView.hpp"

namespace tarvik::ui {

namespace {

enum Trailing { figures, buttons, question };

constexpr int copiedMilliseconds = 1000;

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

ServerRow::ServerRow(ServerStore& store, const MergedServer& row, QWidget* parent)
    : QWidget(parent), m_store(store), m_row(row), m_server(row.primary), m_id(row.primary.id()) {
    setObjectName(qs("row:" + m_id));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeLine());
    setRow(row);
}

QWidget* ServerRow::makeLine() {
    auto* line = new QWidget(this);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(10, 7, 8, 7);
    layout->setSpacing(10);

    m_icon = new QLabel(line);
    m_icon->setFixedSize(28, 28);
    layout->addWidget(m_icon);

    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    auto* title = new QHBoxLayout;
    title->setSpacing(6);
    m_name = new QLabel(line);
    m_name->setTextFormat(Qt::PlainText);
    m_name->setFont(Theme::font(10.5, QFont::DemiBold));
    title->addWidget(m_name);
    m_ports = new ElidedLabel("", line, Qt::ElideRight);
    m_ports->setFont(Theme::monospaced(9.5));
    title->addWidget(m_ports);
    m_badge = new QLabel(line);
    m_badge->setFixedSize(12, 12);
    m_badge->setToolTip(tr("Reachable from your network"));
    title->addWidget(m_badge);
    title->addStretch();
    text->addLayout(title);
    m_directory = new ElidedLabel("", line);
    m_directory->setFont(Theme::font(9));
    text->addWidget(m_directory);
    layout->addLayout(text, 1);

    m_trailing = new QStackedWidget(line);
    m_trailing->addWidget(makeFigures());
    m_trailing->addWidget(makeButtons());
    m_trailing->addWidget(makeQuestion());
    layout->addWidget(m_trailing);
    return line;
}

QWidget* ServerRow::makeFigures() {
    auto* figures = new QWidget(this);
    auto* layout = new QVBoxLayout(figures);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    m_memory = new QLabel(figures);
    m_memory->setFont(Theme::font(9.5, QFont::Medium));
    m_uptime = new QLabel(figures);
    m_uptime->setFont(Theme::font(9));
    for (auto* label : {m_memory, m_uptime}) {
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        layout->addWidget(label);
    }
    return figures;
}

QWidget* ServerRow::makeButtons() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto add = [&](const char* name, const QString& tip, auto action) {
        auto* button = new SymbolButton("", QColor(), box);
        button->setObjectName(qs(name + m_id));
        button->setToolTip(tip);
        connect(button, &QAbstractButton::clicked, this, action);
        layout->addWidget(button);
        return button;
    };
    m_open = add("open:", tr("Open in Browser"), [this] { m_store.actions().open(m_server); });
    m_copy = add("copy:", tr("Copy URL"), [this] {
        m_store.actions().copyURL(m_server);
        showCopied(true);
        QTimer::singleShot(copiedMilliseconds, this, [this, copy = ++m_copies] {
            if (copy == m_copies) showCopied(false);
        });
    });
    m_stop = add("stop:", tr("Stop"), [this] { ask(); });
    m_expand = add("expand:", tr("Details"), [this] { setExpanded(!isExpanded()); });
    return box;
}

QWidget* ServerRow::makeQuestion() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_confirm = new CapsuleButton("", CapsuleButton::Style::destructive, box);
    m_confirm->setObjectName("confirm");
    connect(m_confirm, &QAbstractButton::clicked, this, [this] {
        m_store.actions().kill(m_server, m_force);
        cancel();
    });
    auto* cancelButton = new CapsuleButton(tr("Cancel"), CapsuleButton::Style::plain, box);
    cancelButton->setObjectName("cancel");
    connect(cancelButton, &QAbstractButton::clicked, this, &ServerRow::cancel);
    layout->addWidget(m_confirm);
    layout->addWidget(cancelButton);
    return box;
}

void ServerRow::setRow(const MergedServer& row) {
    m_row = row;
    m_server = row.primary;
    m_name->setText(qs(m_server.kind.name));
    m_ports->setText(portsText(row.ports.empty() ? std::vector<int>{m_server.port} : row.ports));
    m_ports->updateGeometry();
    m_badge->setVisible(isExposed(m_store, m_server));
    m_directory->setText(
        qs(m_server.displayDirectory().value_or(m_server.containerName.value_or(m_server.processName))));
    m_memory->setText(qs(m_server.memoryLabel().value_or("")));
    m_uptime->setText(qs(m_server.uptimeLabel().value_or("")));
    m_open->setVisible(
        !std::holds_alternative<ServiceProtocols::Database>(m_store.serviceProtocol(m_server)));
    style();
    refreshDetail();
}

void ServerRow::style() {
    const bool dark = Theme::isDark(this);
    const QColor secondary = Theme::color(Theme::Role::secondaryText, dark);
    m_icon->setPixmap(Icons::serverIcon(m_server, 28, dark, devicePixelRatioF()));
    m_badge->setPixmap(
        Icons::symbol("wifi", Theme::color(Theme::Role::orange, dark), 12, devicePixelRatioF()));
    setTextColour(m_name, Theme::color(Theme::Role::text, dark));
    setTextColour(m_ports, secondary);
    setTextColour(m_directory, secondary);
    setTextColour(m_memory, Theme::color(Theme::Role::text, dark));
    setTextColour(m_uptime, Theme::color(Theme::Role::tertiaryText, dark));
    m_open->setSymbol("safari", secondary);
    m_stop->setSymbol("stop.circle", secondary);
    m_expand->setSymbol("chevron.right", secondary, isExpanded() ? 90 : 0);
    showCopied(m_copied);
}

void ServerRow::showCopied(bool copied) {
    m_copied = copied;
    const bool dark = Theme::isDark(this);
    if (copied)
        m_copy->setSymbol("checkmark", Theme::color(Theme::Role::green, dark));
    else
        m_copy->setSymbol("doc.on.doc", Theme::color(Theme::Role::secondaryText, dark));
}

void ServerRow::refreshDetail() {
    if (!m_detail || m_detail->update(ServerDetailView::inputsOf(m_store, m_row))) return;
    delete m_detail;
    m_detail = nullptr;
    setExpanded(true);
}

void ServerRow::ask() {
    m_force = m_store.stubbornPids().contains(m_server.pid);
    m_confirm->setText(m_force ? tr("Force?") : tr("Sure?"));
    m_asking = true;
    m_trailing->setCurrentIndex(question);
    if (onAsk) onAsk(this);
}

void ServerRow::cancel() {
    if (!m_asking) return;
    m_asking = false;
    setHovered(underMouse());
}

void ServerRow::setExpanded(bool expanded) {
    if (expanded == isExpanded()) return;
    if (expanded) {
        m_detail = new ServerDetailView(m_store, m_row, this);
        layout()->addWidget(m_detail);
        m_detail->show();
        if (onExpand) onExpand(this);
    } else {
        delete m_detail;
        m_detail = nullptr;
    }
    m_expand->setSymbol("chevron.right", Theme::color(Theme::Role::secondaryText, Theme::isDark(this)),
                        expanded ? 90 : 0);
}

void ServerRow::reset() {
    cancel();
    setExpanded(false);
    ++m_copies;
    showCopied(false);
}

void ServerRow::setSeparated(bool separated) {
    if (separated == m_separated) return;
    m_separated = separated;
    setContentsMargins(0, separated ? 1 : 0, 0, 0);
    update();
}

QMenu* ServerRow::makeMenu(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    ServerStore* store = &m_store;
    const Server server = m_server;
    menu->addAction(tr("Open in Browser"), [store, server] { store->actions().open(server); });
    menu->addAction(tr("Copy URL"), [store, server] { store->actions().copyURL(server); });
    menu->addAction(qs(Words::text("Reveal in Finder")),
                    [store, server] { store->actions().revealDirectory(server); })
        ->setEnabled(server.cwd.has_value());
    menu->addSeparator();
    menu->addAction(tr("Kill Process"), [store, server] { store->actions().kill(server, false); });
    menu->addAction(tr("Force Kill"), [store, server] { store->actions().kill(server, true); });
    return menu;
}

void ServerRow::setHovered(bool hovered) {
    if (m_asking) return;
    m_trailing->setCurrentIndex(hovered ? buttons : figures);
}

void ServerRow::enterEvent(QEnterEvent*) {
    setHovered(true);
}

void ServerRow::leaveEvent(QEvent*) {
    setHovered(false);
}

void ServerRow::showEvent(QShowEvent*) {
    // A row shown under a resting mouse gets no enter event.
    setHovered(rect().contains(mapFromGlobal(QCursor::pos())));
}

void ServerRow::paintEvent(QPaintEvent*) {
    if (!m_separated) return;
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), 1), Theme::color(Theme::Role::separator, Theme::isDark(this)));
}

void ServerRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        setExpanded(!isExpanded());
}

void ServerRow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = makeMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

}  // namespace tarvik::ui
