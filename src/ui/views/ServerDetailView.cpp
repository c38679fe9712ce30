#include "ui/views/ServerDetailView.hpp"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QTimer>

#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

QString kindLine(const Server& server) {
    const QString name = qs(server.kind.name);
    if (server.containerName) return ServerDetailView::tr("%1  ·  Docker container").arg(name);
    if (!server.processCount) return name;
    return *server.processCount == 1
               ? ServerDetailView::tr("%1  ·  1 process").arg(name)
               : ServerDetailView::tr("%1  ·  %2 processes").arg(name).arg(*server.processCount);
}

// The ground of the block, a step away from the card it opens in.
class Inset : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::color(Theme::Role::background, this));
        const int inset = Theme::Space::s;
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, 0, -inset, -inset), Theme::Radius::m,
                                Theme::Radius::m);
    }
};

constexpr int copiedMilliseconds = 1000;

}  // namespace

ServerDetailView::Inputs ServerDetailView::inputsOf(const ServerStore& store, const MergedServer& row) {
    Inputs inputs{row, std::nullopt, store.stubbornPids().contains(row.primary.pid)};
    auto probe = store.probeOutcomes().find(row.primary.id());
    if (probe != store.probeOutcomes().end()) inputs.probe = probe->second;
    return inputs;
}

ServerDetailView::ServerDetailView(ServerStore& store, const MergedServer& row, QWidget* parent)
    : QWidget(parent), m_store(store), m_inputs(inputsOf(store, row)), m_server(row.primary), m_row(row) {
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* inset = new Inset(this);
    outer->addWidget(inset);
    auto* grid = new QGridLayout(inset);
    grid->setContentsMargins(Theme::Space::xxxl, Theme::Space::l, Theme::Space::xxxl, Theme::Space::xxxl);
    grid->setHorizontalSpacing(Theme::Space::m);
    grid->setVerticalSpacing(Theme::Space::s);
    grid->setColumnStretch(1, 1);

    auto text = [&](const QString& value, Theme::Role role = Theme::Role::text) {
        return makeWrapped(value, Theme::Text::footnote, role, inset);
    };
    if (auto directory = m_server.displayDirectory()) {
        auto* label =
            new ElidedLabel(qs(*directory), Theme::font(Theme::Text::footnote), Theme::Role::text, inset);
        addLine(grid, "folder", Theme::Role::secondaryText, label);
    }
    addLine(grid, m_server.kind.symbol, m_server.kind.tint, text(kindLine(m_server)));
    m_figures = new QWidget(inset);
    auto* figures = new QHBoxLayout(m_figures);
    figures->setContentsMargins(0, 0, 0, 0);
    figures->setSpacing(Theme::Space::s);
    grid->addWidget(m_figures, grid->rowCount(), 0, 1, 2);
    // Every socket is named: one wildcard among loopback binds is what makes a row reachable.
    QStringList sockets;
    for (const auto& endpoint : m_row.sockets()) sockets << qs(endpoint.text());
    if (m_row.isExposedToNetwork()) {
        addLine(grid, "wifi-high", Theme::Role::orange,
                text(tr("Reachable by anyone on your network — bind to 127.0.0.1 to keep it private.")));
        addLine(grid, "network", Theme::Role::secondaryText,
                text(sockets.join("  ·  "), Theme::Role::secondaryText));
    } else {
        addLine(grid, "lock-fill", Theme::Role::green,
                text(tr("%1 · localhost only").arg(sockets.join("  ·  ")), Theme::Role::secondaryText));
    }
    m_probe = new QWidget(inset);
    auto* probe = new QHBoxLayout(m_probe);
    probe->setContentsMargins(0, 0, 0, 0);
    probe->setSpacing(Theme::Space::m);
    grid->addWidget(m_probe, grid->rowCount(), 0, 1, 2);
    fill();
    grid->addWidget(makeButtons(), grid->rowCount(), 0, 1, 2);
}

void ServerDetailView::addLine(QGridLayout* grid, std::string_view symbol, const Theme::Ink& symbolInk,
                               QWidget* content) {
    const int row = grid->rowCount();
    grid->addWidget(makeSymbol(symbol, symbolInk, 13, content->parentWidget()), row, 0, Qt::AlignTop);
    grid->addWidget(content, row, 1);
}

ServerDetailView::Inputs ServerDetailView::shapeOf(Inputs inputs) {
    Server& server = inputs.row.primary;
    server.memoryBytes.reset();
    server.cpuPercent.reset();
    server.uptimeSeconds.reset();
    inputs.probe.reset();
    return inputs;
}

bool ServerDetailView::update(const Inputs& inputs) {
    if (!(shapeOf(inputs) == shapeOf(m_inputs))) return false;
    if (inputs == m_inputs) return true;
    m_inputs = inputs;
    m_row = inputs.row;
    m_server = m_row.primary;
    fill();
    return true;
}

void ServerDetailView::fill() {
    const Theme::Role secondary = Theme::Role::secondaryText;
    auto* figures = static_cast<QHBoxLayout*>(m_figures->layout());
    clearLayout(figures);
    auto add = [&](std::string_view symbol, const QString& value) {
        figures->addWidget(makeSymbol(symbol, secondary, 13, m_figures));
        figures->addWidget(makeLabel(value, Theme::Text::footnote, Theme::Role::text, m_figures));
        figures->addSpacing(Theme::Space::m);
    };
    if (auto uptime = m_server.uptimeLabel()) add("clock", qs(*uptime));
    if (m_server.cpuPercent) add("cpu", tr("%1%").arg(*m_server.cpuPercent, 0, 'f', 1));
    if (auto memory = m_server.memoryLabel()) add("memory", qs(*memory));
    figures->addStretch();
    showItems(figures);

    auto* probe = static_cast<QHBoxLayout*>(m_probe->layout());
    clearLayout(probe);
    const auto label = m_inputs.probe ? HTTPProbe::label(*m_inputs.probe) : std::nullopt;
    m_probe->setVisible(label.has_value());
    if (!label) return;
    probe->addWidget(makeSymbol("gauge", secondary, 13, m_probe), 0, Qt::AlignTop);
    auto* line = new QWidget(m_probe);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(
        makeLabel(tr("Live HTTP check"), Theme::Text::footnote, Theme::Role::secondaryText, line));
    layout->addWidget(
        makeLabel(qs(*label), Theme::Text::footnote, QFont::DemiBold,
                  HTTPProbe::isHealthy(*m_inputs.probe) ? Theme::Role::green : Theme::Role::orange, line));
    layout->addStretch();
    probe->addWidget(line, 1);
    showItems(probe);
}

QWidget* ServerDetailView::makeButtons() {
    auto* buttons = new QWidget(this);
    auto* grid = new QGridLayout(buttons);
    grid->setContentsMargins(0, Theme::Space::xs, 0, 0);
    grid->setSpacing(Theme::Space::s);
    const std::string id = m_server.id();
    auto add = [&](const QString& title, const std::string& name, int row, int column,
                   std::string_view symbol = {}) {
        auto* button = new CapsuleButton(title, CapsuleButton::Style::plain, buttons, symbol);
        button->setObjectName(qs(name + ":" + id));
        grid->addWidget(button, row, column, Qt::AlignLeft);
        return button;
    };
    const auto protocol = m_store.serviceProtocol(m_server);
    if (const auto* database = std::get_if<ServiceProtocols::Database>(&protocol)) {
        auto* copy = add(tr("Copy connection string"), "connection", 0, 0);
        connect(copy, &QAbstractButton::clicked, this, [this, copy, text = database->connectionString] {
            m_store.actions().copyText(text);
            copy->setText(tr("Copied"));
            QTimer::singleShot(copiedMilliseconds, copy,
                               [copy] { copy->setText(tr("Copy connection string")); });
        });
    } else {
        connect(add(tr("Open in Browser"), "browse", 0, 0, "compass"), &QAbstractButton::clicked, this,
                [this] { m_store.actions().open(m_server); });
    }
    const std::string address = "localhost:" + std::to_string(m_server.port);
    connect(add(tr("Copy %1").arg(qs(address)), "address", 0, 1), &QAbstractButton::clicked, this,
            [this, address] { m_store.actions().copyText(address); });
    const bool stubborn = m_inputs.stubborn;
    connect(add(tr("Kill process"), "kill", 1, 0), &QAbstractButton::clicked, this,
            [this, stubborn] { m_store.actions().kill(m_server, stubborn); });
    grid->setColumnStretch(2, 1);
    return buttons;
}

}  // namespace tarvik::ui
