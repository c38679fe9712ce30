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
    m_layout->setContentsMargins(10, 8, 10, 10);
    m_layout->setSpacing(0);
}

void StoppedView::rebuild() {
    Shown shown{m_store.recentStops().entries, m_store.restartingIDs(), Theme::isDark(this)};
    if (shown != m_shown) make(shown);
    for (std::size_t i = 0; i < m_ages.size(); ++i) {
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(m_store.now() - shown.entries[i].stoppedAt);
        m_ages[i]->setText(qs(ElapsedTime::label(static_cast<int>(seconds.count())) + " ago"));
    }
}

void StoppedView::make(const Shown& shown) {
    m_shown = shown;
    m_ages.clear();
    clearLayout(m_layout);
    const bool dark = shown.dark;
    const auto& entries = shown.entries;
    if (entries.empty()) {
        m_layout->addWidget(makeEmptyState("clock.arrow.circlepath", "Nothing stopped yet",
                                           "Servers you stop show up here,\nready to start again.", dark,
                                           this));
        return;
    }
    auto* card = new Card(this, Card::Look::outlined);
    auto* rows = new QVBoxLayout(card);
    rows->setContentsMargins(0, 1, 0, 1);
    rows->setSpacing(0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) rows->addWidget(makeSeparator(dark, card));
        rows->addWidget(makeRow(entries[i], dark, card));
    }
    m_layout->addWidget(card);
    m_layout->addStretch();
}

QWidget* StoppedView::makeRow(const RecentStops::Entry& entry, bool dark, QWidget* parent) {
    const Server& server = entry.server;
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(10, 7, 8, 7);
    layout->setSpacing(10);
    auto* icon = new QLabel(row);
    icon->setFixedSize(28, 28);
    icon->setPixmap(faded(Icons::serverIcon(server, 28, dark, row->devicePixelRatioF())));
    layout->addWidget(icon);

    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    auto* title = new QHBoxLayout;
    title->setSpacing(6);
    title->addWidget(makeLabel(qs(Insights::displayName(server)), 10.5, QFont::DemiBold,
                               Theme::Role::secondaryText, dark, row));
    auto* port = makeLabel(":" + QString::number(server.port), 9.5, QFont::Normal, Theme::Role::tertiaryText,
                           dark, row);
    port->setFont(Theme::monospaced(9.5));
    title->addWidget(port);
    title->addStretch();
    text->addLayout(title);
    m_ages.push_back(makeLabel("", 9, QFont::Normal, Theme::Role::tertiaryText, dark, row));
    text->addWidget(m_ages.back());
    layout->addLayout(text, 1);

    if (m_shown->restarting.contains(entry.id())) {
        layout->addWidget(makeLabel("Starting", 9.5, QFont::Medium, Theme::Role::secondaryText, dark, row));
    } else if (RecentStops::isRestartable(server)) {
        auto* play = new SymbolButton("play.circle.fill", Theme::color(Theme::Role::accent, dark), row, 20);
        play->setObjectName(qs("restart:" + entry.id()));
        play->setToolTip("Start again");
        connect(play, &QAbstractButton::clicked, this, [this, entry] { m_store.actions().restart(entry); });
        layout->addWidget(play);
    }
    return row;
}

}  // namespace tarvik::ui
