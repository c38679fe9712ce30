#include "ui/views/ServerRow.hpp"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

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
    setFocusPolicy(Qt::TabFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeLine());
    setRow(row);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* before, QWidget* now) {
        auto inside = [this](const QWidget* widget) {
            return widget && (widget == this || isAncestorOf(widget));
        };
        if (inside(before) || inside(now)) showTrailing();
        if (inside(before) != inside(now)) update();
    });
}

QWidget* ServerRow::makeLine() {
    auto* line = new QWidget(this);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(Theme::Space::l, Theme::Space::s, Theme::Space::m, Theme::Space::s);
    layout->setSpacing(Theme::Space::l);

    m_icon = new QLabel(line);
    m_icon->setFixedSize(Theme::Size::rowIcon, Theme::Size::rowIcon);
    // The icon's tint depends on the appearance, and its picture is drawn with it.
    Theme::follow(m_icon, [this] { drawIcon(); });
    layout->addWidget(m_icon);

    auto* text = new QVBoxLayout;
    text->setSpacing(Theme::Space::hairline);
    auto* title = new QHBoxLayout;
    title->setSpacing(Theme::Space::s);
    m_name = new ElidedLabel({}, Theme::font(Theme::Text::callout, QFont::DemiBold), Theme::Role::text, line,
                             Qt::ElideRight);
    title->addWidget(m_name);
    m_ports = new ElidedLabel("", Theme::monospaced(Theme::Text::footnote), Theme::Role::secondaryText, line,
                              Qt::ElideRight);
    title->addWidget(m_ports);
    m_badge = makeSymbol("wifi-high", Theme::Role::orange, 12, line);
    m_badge->setToolTip(tr("Reachable from your network"));
    m_badge->setAccessibleName(m_badge->toolTip());
    title->addWidget(m_badge);
    title->addStretch();
    text->addLayout(title);
    m_directory = new ElidedLabel("", Theme::font(Theme::Text::caption), Theme::Role::secondaryText, line);
    text->addWidget(m_directory);
    layout->addLayout(text, 1);

    m_trailing = new QStackedWidget(line);
    m_trailing->addWidget(makeFigures());
    m_trailing->addWidget(makeButtons());
    m_trailing->addWidget(makeQuestion());
    // A stack counts as growing in every direction, and would stretch the rows of a short list.
    m_trailing->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Maximum);
    layout->addWidget(m_trailing);
    return line;
}

QWidget* ServerRow::makeFigures() {
    auto* figures = new QWidget(this);
    auto* layout = new QVBoxLayout(figures);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::Space::hairline);
    m_memory = makeLabel({}, Theme::Text::footnote, QFont::Medium, Theme::Role::text, figures);
    m_uptime = makeLabel({}, Theme::Text::caption, Theme::Role::tertiaryText, figures);
    for (auto* label : {m_memory, m_uptime}) {
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
    auto add = [&](const char* name, const char* symbol, const QString& tip, auto action) {
        auto* button = new SymbolButton(symbol, Theme::Role::secondaryText, box);
        button->setObjectName(qs(name + m_id));
        button->setToolTip(tip);
        button->setAccessibleName(tip);
        connect(button, &QAbstractButton::clicked, this, action);
        layout->addWidget(button);
        return button;
    };
    m_open = add("open:", "compass", tr("Open in Browser"), [this] { m_store.actions().open(m_server); });
    m_copy = add("copy:", "copy", tr("Copy URL"), [this] {
        m_store.actions().copyURL(m_server);
        showCopied(true);
        QTimer::singleShot(copiedMilliseconds, this, [this, copy = ++m_copies] {
            if (copy == m_copies) showCopied(false);
        });
    });
    m_stop = add("stop:", "stop-circle", tr("Stop"), [this] { ask(); });
    m_expand = add("expand:", "caret-right", tr("Details"), [this] { setExpanded(!isExpanded()); });
    return box;
}

QWidget* ServerRow::makeQuestion() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::Space::s);
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
    setAccessibleName(m_name->text() + ' ' + m_ports->text());
    setAccessibleDescription(QStringList{m_directory->text(), m_memory->text(), m_uptime->text()}.join(", "));
    drawIcon();
    refreshDetail();
}

void ServerRow::drawIcon() {
    m_icon->setPixmap(Icons::serverIcon(m_server, Theme::Size::rowIcon, Theme::isDark(m_icon),
                                        m_icon->devicePixelRatioF()));
}

void ServerRow::showCopied(bool copied) {
    if (copied)
        m_copy->setSymbol("check", Theme::Role::green);
    else
        m_copy->setSymbol("copy", Theme::Role::secondaryText);
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
    // The focus, if on the buttons, follows to the question's first.
    showTrailing();
    if (onAsk) onAsk(this);
}

void ServerRow::cancel() {
    if (!m_asking) return;
    const bool answering = m_trailing->widget(question)->isAncestorOf(QApplication::focusWidget());
    m_asking = false;
    showTrailing();
    if (answering) focusByKeyboard(m_stop);
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
    m_expand->setSymbol("caret-right", Theme::Role::secondaryText, expanded ? 90 : 0);
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
    setContentsMargins(0, separated ? Theme::Space::hairline : 0, 0, 0);
    update();
}

QMenu* ServerRow::makeMenu(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    ServerStore* store = &m_store;
    const Server server = m_server;
    menu->addAction(tr("Open in Browser"), [store, server] { store->actions().open(server); });
    menu->addAction(tr("Copy URL"), [store, server] { store->actions().copyURL(server); });
    menu->addAction(tr("Reveal in Files"), [store, server] { store->actions().revealDirectory(server); })
        ->setEnabled(server.cwd.has_value());
    menu->addSeparator();
    menu->addAction(tr("Kill Process"), [store, server] { store->actions().kill(server, false); });
    menu->addAction(tr("Force Kill"), [store, server] { store->actions().kill(server, true); });
    return menu;
}

void ServerRow::setHovered(bool hovered) {
    m_hovered = hovered;
    showTrailing();
}

bool ServerRow::holdsFocus() const {
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == this || isAncestorOf(focus));
}

void ServerRow::showTrailing() {
    if (m_asking) return m_trailing->setCurrentIndex(question);
    m_trailing->setCurrentIndex(m_hovered || holdsFocus() ? buttons : figures);
}

void ServerRow::followPointer() {
    setHovered(isVisible() && visibleRegion().contains(mapFromGlobal(QCursor::pos())));
}

void ServerRow::enterEvent(QEnterEvent*) {
    setHovered(true);
}

void ServerRow::leaveEvent(QEvent*) {
    setHovered(false);
}

void ServerRow::showEvent(QShowEvent*) {
    // A row shown under a resting mouse gets no enter event.
    followPointer();
}

void ServerRow::moveEvent(QMoveEvent*) {
    followPointer();
}

void ServerRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_separated)
        painter.fillRect(QRect(0, 0, width(), Theme::Space::hairline),
                         Theme::color(Theme::Role::separator, this));
    if (showsFocusRing(this)) paintFocusRing(painter, this, QRectF(contentsRect()), Theme::Radius::m);
}

void ServerRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        setExpanded(!isExpanded());
}

void ServerRow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (onStep) onStep(this, event->key() == Qt::Key_Up ? -1 : 1);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (hasFocus()) return setExpanded(!isExpanded());
            break;
    }
    QWidget::keyPressEvent(event);
}

void ServerRow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = makeMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

}  // namespace tarvik::ui
