#include "ui/views/StoppedView.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/analysis/Insights.hpp"
#include "core/support/ElapsedTime.hpp"
#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

// The server's icon in grey and faded: it is gone, only remembered.
QPixmap faded(QPixmap pixmap) {
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) / 2);
        }
    }
    QPixmap result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(pixmap.devicePixelRatio());
    return result;
}

}  // namespace

StoppedView::StoppedView(ServerStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(Theme::Space::l, Theme::Space::m, Theme::Space::l, Theme::Space::l);
    m_layout->setSpacing(0);
}

void StoppedView::rebuild() {
    Shown shown{m_store.recentStops().entries, m_store.restartingIDs()};
    if (shown != m_shown) make(shown);
    for (std::size_t i = 0; i < m_ages.size(); ++i) {
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(m_store.now() - shown.entries[i].stoppedAt);
        m_ages[i]->setText(tr("%1 ago").arg(qs(ElapsedTime::label(static_cast<int>(seconds.count())))));
    }
}

void StoppedView::make(const Shown& shown) {
    m_shown = shown;
    m_ages.clear();
    clearLayout(m_layout);
    const auto& entries = shown.entries;
    if (entries.empty()) {
        m_layout->addWidget(makeEmptyState("clock-counter-clockwise", tr("Nothing stopped yet"),
                                           tr("Servers you stop show up here,\nready to start again."),
                                           this));
        return;
    }
    auto* card = new Card(this, Card::Look::outlined);
    auto* rows = new QVBoxLayout(card);
    rows->setContentsMargins(0, Theme::Space::hairline, 0, Theme::Space::hairline);
    rows->setSpacing(0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) rows->addWidget(makeSeparator(card));
        rows->addWidget(makeRow(entries[i], card));
    }
    m_layout->addWidget(card);
    m_layout->addStretch();
}

QWidget* StoppedView::makeRow(const RecentStops::Entry& entry, QWidget* parent) {
    const Server& server = entry.server;
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(Theme::Space::l, Theme::Space::s, Theme::Space::m, Theme::Space::s);
    layout->setSpacing(Theme::Space::l);
    auto* icon = new QLabel(row);
    icon->setFixedSize(Theme::Size::rowIcon, Theme::Size::rowIcon);
    Theme::follow(icon, [icon, server] {
        icon->setPixmap(faded(
            Icons::serverIcon(server, Theme::Size::rowIcon, Theme::isDark(icon), icon->devicePixelRatioF())));
    });
    layout->addWidget(icon);

    auto* text = new QVBoxLayout;
    text->setSpacing(Theme::Space::hairline);
    auto* title = new QHBoxLayout;
    title->setSpacing(Theme::Space::s);
    auto* name =
        new ElidedLabel(qs(Insights::displayName(server)), Theme::font(Theme::Text::callout, QFont::DemiBold),
                        Theme::Role::secondaryText, row, Qt::ElideRight);
    title->addWidget(name);
    auto* port = makeLabel(QStringLiteral(":%1").arg(server.port), Theme::Text::footnote,
                           Theme::Role::tertiaryText, row);
    port->setFont(Theme::monospaced(Theme::Text::footnote));
    title->addWidget(port);
    title->addStretch();
    text->addLayout(title);
    m_ages.push_back(makeLabel({}, Theme::Text::caption, Theme::Role::tertiaryText, row));
    text->addWidget(m_ages.back());
    layout->addLayout(text, 1);

    if (m_shown->restarting.contains(entry.id())) {
        layout->addWidget(
            makeLabel(tr("Starting"), Theme::Text::footnote, QFont::Medium, Theme::Role::secondaryText, row));
    } else if (RecentStops::isRestartable(server)) {
        auto* play = new SymbolButton("play-circle-fill", Theme::Role::accent, row, 20);
        play->setObjectName(qs("restart:" + entry.id()));
        play->setToolTip(tr("Start again"));
        play->setAccessibleName(play->toolTip());
        connect(play, &QAbstractButton::clicked, this, [this, entry] { m_store.actions().restart(entry); });
        layout->addWidget(play);
    }
    return row;
}

}  // namespace tarvik::ui
