#include "ui/views/TidyView.hpp"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

constexpr int symbolSize = 14;

// Rows are clicked as a whole, so their texts let the mouse through.
QLabel* plainLabel(QWidget* parent, const QFont& font) {
    auto* label = new QLabel(parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QLabel* styledLabel(QWidget* parent, const QFont& font, Theme::Role role) {
    auto* label = plainLabel(parent, font);
    Theme::setForeground(label, role);
    return label;
}

void setSymbol(QLabel* label, std::string_view name, Theme::Role role) {
    label->setPixmap(Icons::symbol(name, Theme::color(role, label), symbolSize, label->devicePixelRatioF()));
}

// Why a listener is kept safe, in a few words.
QString reason(const TidyCandidates::Kept& kept, const StoreActions& actions) {
    switch (kept.why) {
        case TidyCandidates::Keeping::system:
            return TidyView::tr("Linux");
        case TidyCandidates::Keeping::ownerHidden:
            return TidyView::tr("Owner not visible to you");
        case TidyCandidates::Keeping::notYours:
            // Root's process is the system's; this user's is one no action signals.
            if (auto user = actions.otherUser(kept.server.pid))
                return TidyView::tr("Owned by the user %1").arg(qs(*user));
            return TidyView::tr("Linux");
        case TidyCandidates::Keeping::busy:
            return TidyView::tr("active");
    }
    return {};
}

void paintHover(QWidget* widget) {
    QPainter painter(widget);
    if (showsFocusRing(widget)) paintFocusRing(painter, widget, QRectF(widget->rect()), Theme::Radius::s);
    if (!widget->underMouse()) return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor hover = Theme::color(Theme::Role::text, widget);
    hover.setAlphaF(0.06f);
    painter.setBrush(hover);
    painter.drawRoundedRect(
        QRectF(widget->rect())
            .adjusted(Theme::Space::xxs, Theme::Space::xxs, -Theme::Space::xxs, -Theme::Space::xxs),
        Theme::Radius::s, Theme::Radius::s);
}

}  // namespace

// One reviewable server; a click anywhere on it toggles its tick.
class TidyView::ReviewRow : public QAbstractButton {
public:
    explicit ReviewRow(QWidget* parent) : QAbstractButton(parent) {
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(Theme::Space::l, Theme::Space::s, Theme::Space::xl, Theme::Space::s);
        layout->setSpacing(Theme::Space::m);
        m_check = plainLabel(this, Theme::font(Theme::Text::bodyLarge));
        m_port = plainLabel(this, Theme::monospaced(Theme::Text::bodyLarge, QFont::Medium));
        m_name = plainLabel(this, Theme::font(Theme::Text::bodyLarge));
        m_memory = styledLabel(this, Theme::monospaced(Theme::Text::body), Theme::Role::secondaryText);
        m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        layout->addWidget(m_check);
        layout->addWidget(m_port);
        layout->addWidget(m_name, 1);
        layout->addWidget(m_memory);
    }

    // Called again after an appearance switch: the tick's picture is drawn in the palette's colours.
    void display(const Server& server, bool ticked) {
        m_id = server.id();
        setAccessibleName(TidyView::tr(":%1 %2").arg(server.port).arg(qs(server.processName)));
        setSymbol(m_check, ticked ? "check-square-fill" : "square",
                  ticked ? Theme::Role::accent : Theme::Role::tertiaryText);
        m_port->setText(QStringLiteral(":%1").arg(server.port));
        m_name->setText(TidyView::tr("%1  ·  idle").arg(qs(server.processName)));
        m_memory->setText(server.memoryBytes ? qs(ByteFormat::short_(*server.memoryBytes)) : QString());
    }
    [[nodiscard]] const std::string& id() const { return m_id; }

protected:
    void paintEvent(QPaintEvent*) override { paintHover(this); }
    void keyPressEvent(QKeyEvent* event) override {
        if (!clickOnEnter(this, event)) QAbstractButton::keyPressEvent(event);
    }

private:
    std::string m_id;
    QLabel* m_check;
    QLabel* m_port;
    QLabel* m_name;
    QLabel* m_memory;
};

// One server left alone, with why.
class TidyView::KeptRow : public QWidget {
public:
    explicit KeptRow(QWidget* parent) : QWidget(parent) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(Theme::Space::l, Theme::Space::s, Theme::Space::xl, Theme::Space::s);
        layout->setSpacing(Theme::Space::m);
        m_lock = makeSymbol("lock-fill", Theme::Role::tertiaryText, symbolSize, this);
        m_port = styledLabel(this, Theme::monospaced(Theme::Text::bodyLarge, QFont::Medium),
                             Theme::Role::secondaryText);
        m_name = styledLabel(this, Theme::font(Theme::Text::bodyLarge), Theme::Role::secondaryText);
        m_tag = styledLabel(this, Theme::font(Theme::Text::subheadline), Theme::Role::tertiaryText);
        for (auto* label : {m_port, m_name, m_tag}) label->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        layout->addWidget(m_lock);
        layout->addWidget(m_port);
        layout->addWidget(m_name, 1);
        layout->addWidget(m_tag);
    }

    void display(const TidyCandidates::Kept& kept, const StoreActions& actions) {
        m_port->setText(QStringLiteral(":%1").arg(kept.server.port));
        m_name->setText(qs(kept.server.processName));
        m_tag->setText(reason(kept, actions));
    }

private:
    QLabel* m_lock;
    QLabel* m_port;
    QLabel* m_name;
    QLabel* m_tag;
};

// "Kept Safe" and the count after a chevron that turns down while the list is open.
class TidyView::KeptSafeHeader : public QAbstractButton {
public:
    explicit KeptSafeHeader(QWidget* parent) : QAbstractButton(parent) {
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(chevronLeft + symbolSize + Theme::Space::s, Theme::Space::s,
                                   Theme::Space::l, Theme::Space::s);
        layout->setSpacing(Theme::Space::s);
        title = styledLabel(this, Theme::font(Theme::Text::bodyLarge, QFont::DemiBold), Theme::Role::text);
        title->setText(TidyView::tr("Kept Safe"));
        count = styledLabel(this, Theme::font(Theme::Text::bodyLarge), Theme::Role::tertiaryText);
        setAccessibleName(title->text());
        layout->addWidget(title);
        layout->addWidget(count);
        layout->addStretch();
    }

    void setAngle(qreal degrees) {
        m_angle = degrees;
        update();
    }

    QLabel* title;
    QLabel* count;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!clickOnEnter(this, event)) QAbstractButton::keyPressEvent(event);
    }
    void paintEvent(QPaintEvent*) override {
        paintHover(this);
        const QPixmap chevron = Icons::symbol("caret-right", Theme::color(Theme::Role::secondaryText, this),
                                              symbolSize - 2, devicePixelRatioF());
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(chevronLeft + symbolSize / 2.0, height() / 2.0);
        painter.rotate(m_angle);
        painter.drawPixmap(QPointF(-(symbolSize - 2) / 2.0, -(symbolSize - 2) / 2.0), chevron);
    }

private:
    static constexpr int chevronLeft = Theme::Space::xs;
    qreal m_angle = 0;
};

TidyView::TidyView(ServerStore& store, std::optional<std::set<std::int32_t>> previewIdlePids, QWidget* parent)
    : QWidget(parent), m_store(store), m_previewIdlePids(std::move(previewIdlePids)) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* scroll = pageScrollArea(this);
    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(Theme::Space::xxl, Theme::Space::l, Theme::Space::xxl, Theme::Space::l);
    column->setSpacing(Theme::Space::s);
    outer->addWidget(scroll, 1);

    auto* summary = new Card(content, Card::Look::plain);
    auto* summaryLayout = new QVBoxLayout(summary);
    summaryLayout->setContentsMargins(Theme::Space::xl, Theme::Space::l, Theme::Space::xl, Theme::Space::l);
    summaryLayout->setSpacing(Theme::Space::xxs);
    auto* caption = styledLabel(summary, Theme::font(Theme::Text::body), Theme::Role::secondaryText);
    caption->setText(tr("Reclaim"));
    m_figure = plainLabel(summary, Theme::monospaced(Theme::Text::headline, QFont::DemiBold));
    m_figure->setObjectName("figure");
    summaryLayout->addWidget(caption);
    summaryLayout->addWidget(m_figure);
    column->addWidget(summary);
    column->addSpacing(Theme::Space::m);

    auto* reviewHeader = new QHBoxLayout;
    reviewHeader->setContentsMargins(Theme::Space::xs, 0, Theme::Space::xxs, 0);
    reviewHeader->setSpacing(Theme::Space::s);
    auto* review =
        styledLabel(content, Theme::font(Theme::Text::bodyLarge, QFont::DemiBold), Theme::Role::text);
    review->setText(tr("Review"));
    m_reviewCount = styledLabel(content, Theme::font(Theme::Text::bodyLarge), Theme::Role::tertiaryText);
    m_selectAll = new QPushButton(content);
    m_selectAll->setFlat(true);
    m_selectAll->setCursor(Qt::PointingHandCursor);
    m_selectAll->setFont(Theme::font(Theme::Text::bodyLarge));
    m_selectAll->setAutoDefault(true);
    connect(m_selectAll, &QPushButton::clicked, this, &TidyView::selectAll);
    reviewHeader->addWidget(review);
    reviewHeader->addWidget(m_reviewCount);
    reviewHeader->addStretch();
    reviewHeader->addWidget(m_selectAll);
    column->addLayout(reviewHeader);

    m_reviewCard = new Card(content);
    auto* reviewLayout = new QVBoxLayout(m_reviewCard);
    reviewLayout->setContentsMargins(0, Theme::Space::xxs, 0, Theme::Space::xxs);
    reviewLayout->setSpacing(0);
    m_nothing = styledLabel(m_reviewCard, Theme::font(Theme::Text::bodyLarge), Theme::Role::secondaryText);
    m_nothing->setText(
        tr("Nothing to clean up — no background listener has been idle long enough to be sure."));
    m_nothing->setWordWrap(true);
    m_nothing->setContentsMargins(Theme::Space::xl, Theme::Space::m, Theme::Space::xl, Theme::Space::m);
    reviewLayout->addWidget(m_nothing);
    column->addWidget(m_reviewCard);
    column->addSpacing(Theme::Space::m);

    m_keptSection = new QWidget(content);
    auto* keptLayout = new QVBoxLayout(m_keptSection);
    keptLayout->setContentsMargins(0, 0, 0, 0);
    keptLayout->setSpacing(Theme::Space::xs);
    m_keptHeader = new KeptSafeHeader(m_keptSection);
    connect(m_keptHeader, &QAbstractButton::clicked, this, [this] { expandKeptSafe(!m_showKeptSafe); });
    m_keptCard = new Card(m_keptSection);
    auto* keptRows = new QVBoxLayout(m_keptCard);
    keptRows->setContentsMargins(0, Theme::Space::xxs, 0, Theme::Space::xxs);
    keptRows->setSpacing(0);
    keptLayout->addWidget(m_keptHeader);
    keptLayout->addWidget(m_keptCard);
    column->addWidget(m_keptSection);
    column->addStretch();
    scroll->setWidget(content);
    content->setAutoFillBackground(false);  // setWidget turns it on

    m_cleanUp = new QPushButton(this);
    m_cleanUp->setFont(Theme::font(Theme::Text::headline, QFont::DemiBold));
    m_cleanUp->setCursor(Qt::PointingHandCursor);
    m_cleanUp->setAutoDefault(true);  // Enter presses it, as Space does
    connect(m_cleanUp, &QPushButton::clicked, this, &TidyView::cleanUp);
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(Theme::Space::xxl, Theme::Space::m, Theme::Space::xxl, Theme::Space::xxl);
    footer->addWidget(m_cleanUp);
    outer->addLayout(footer);

    m_counting.setDuration(450);
    m_counting.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_counting, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_figureShown = static_cast<std::uint64_t>(std::llround(value.toDouble()));
        m_figure->setText(qs(ByteFormat::short_(m_figureShown)));
    });
    m_expansion.setDuration(200);
    m_expansion.setEasingCurve(QEasingCurve::InOutCubic);
    connect(&m_expansion, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { applyExpansion(value.toReal()); });
    applyExpansion(0);

    connect(&m_store, &ServerStore::changed, this, &TidyView::refresh);
    restyle();
}

void TidyView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Style sheets and pictures hold colours: they are set again, the widgets stay.
    if (event->type() == QEvent::PaletteChange && m_cleanUp) restyle();
}

void TidyView::restyle() {
    auto colour = [this](Theme::Role role) { return Theme::color(role, this).name(QColor::HexArgb); };
    m_selectAll->setStyleSheet(
        QString("QPushButton { border: none; background: transparent; color: %1; "
                "padding: %2px %3px; } QPushButton:hover, QPushButton:focus { text-decoration: underline; }")
            .arg(colour(Theme::Role::accent))
            .arg(Theme::Space::xxs)
            .arg(Theme::Space::xs));
    const QColor accent = Theme::color(Theme::Role::accent, this);
    m_cleanUp->setStyleSheet(
        QString(
            "QPushButton { border: none; border-radius: %6px; padding: %7px %8px; color: white; "
            "background: %1; } QPushButton:hover { background: %2; } QPushButton:pressed { background: %3; } "
            "QPushButton:disabled { background: %4; color: %5; } QPushButton:focus { border: 2px solid %3; }")
            .arg(accent.name(), accent.lighter(112).name(), accent.darker(115).name(),
                 colour(Theme::Role::separator), colour(Theme::Role::tertiaryText))
            .arg(Theme::Radius::m)
            .arg(Theme::Space::m)
            .arg(Theme::Space::xl));
    refresh();
}

std::vector<Server> TidyView::selectedServers() const {
    std::vector<Server> result;
    for (const auto& server : m_tidy.reviewable)
        if (m_selected.contains(server.id())) result.push_back(server);
    return result;
}

void TidyView::refresh() {
    m_tidy = TidyCandidates::evaluate(
        m_store.servers(),
        [this](std::int32_t pid) {
            return m_previewIdlePids ? m_previewIdlePids->contains(pid) : m_store.idleTracker().isIdle(pid);
        },
        [this](const Server& server) { return m_store.actions().canStop(server); });
    const auto& reviewable = m_tidy.reviewable;
    const auto& keptSafe = m_tidy.keptSafe;
    const auto selected = selectedServers();
    const std::uint64_t bytes = TidyCandidates::Result{selected, {}}.reclaimableBytes();
    const bool allSelected = !reviewable.empty() && selected.size() == reviewable.size();

    showFigure(bytes);
    m_reviewCount->setText(QString::number(reviewable.size()));
    m_selectAll->setVisible(!reviewable.empty());
    m_selectAll->setText(allSelected ? tr("Deselect All") : tr("Select All"));
    m_nothing->setVisible(reviewable.empty());
    while (m_reviewRows.size() < reviewable.size()) {
        auto* row = new ReviewRow(m_reviewCard);
        connect(row, &QAbstractButton::clicked, this, [this, row] { toggle(row->id()); });
        m_reviewCard->layout()->addWidget(row);
        m_reviewRows.push_back(row);
    }
    while (m_reviewRows.size() > reviewable.size()) {
        delete m_reviewRows.back();
        m_reviewRows.pop_back();
    }
    for (std::size_t i = 0; i < reviewable.size(); ++i)
        m_reviewRows[i]->display(reviewable[i], m_selected.contains(reviewable[i].id()));

    m_keptSection->setVisible(!keptSafe.empty());
    m_keptHeader->count->setText(QString::number(keptSafe.size()));
    while (m_keptRows.size() < keptSafe.size()) {
        m_keptRows.push_back(new KeptRow(m_keptCard));
        m_keptCard->layout()->addWidget(m_keptRows.back());
    }
    while (m_keptRows.size() > keptSafe.size()) {
        delete m_keptRows.back();
        m_keptRows.pop_back();
    }
    for (std::size_t i = 0; i < keptSafe.size(); ++i) m_keptRows[i]->display(keptSafe[i], m_store.actions());
    if (m_expansion.state() != QAbstractAnimation::Running) applyExpansion(m_showKeptSafe ? 1 : 0);

    m_cleanUp->setText(bytes > 0 ? tr("Clean Up — free %1").arg(qs(ByteFormat::short_(bytes)))
                                 : tr("Clean Up"));
    m_cleanUp->setEnabled(!selected.empty());
}

void TidyView::toggle(const std::string& id) {
    if (!m_selected.erase(id)) m_selected.insert(id);
    refresh();
}

void TidyView::selectAll() {
    const bool allSelected = selectedServers().size() == m_tidy.reviewable.size();
    m_selected.clear();
    if (!allSelected)
        for (const auto& server : m_tidy.reviewable) m_selected.insert(server.id());
    refresh();
}

void TidyView::cleanUp() {
    const auto servers = selectedServers();
    if (servers.empty()) return;
    m_store.actions().tidyUp(servers);
    m_selected.clear();
    refresh();
}

void TidyView::showFigure(std::uint64_t bytes) {
    Theme::setForeground(m_figure, bytes > 0 ? Theme::Role::green : Theme::Role::secondaryText);
    if (m_figureTarget == bytes) return;
    const bool first = !m_figureTarget;
    m_figureTarget = bytes;
    m_counting.stop();
    if (first || !isVisible()) {
        m_figureShown = bytes;
        m_figure->setText(qs(ByteFormat::short_(bytes)));
        return;
    }
    m_counting.setStartValue(static_cast<double>(m_figureShown));
    m_counting.setEndValue(static_cast<double>(bytes));
    m_counting.start();
}

void TidyView::expandKeptSafe(bool expand) {
    m_showKeptSafe = expand;
    const qreal from = m_expansion.state() == QAbstractAnimation::Running
                           ? m_expansion.currentValue().toReal()
                           : (expand ? 0 : 1);
    m_expansion.stop();
    if (!isVisible()) {
        applyExpansion(expand ? 1 : 0);
        return;
    }
    m_expansion.setStartValue(from);
    m_expansion.setEndValue(expand ? 1.0 : 0.0);
    m_expansion.start();
}

void TidyView::applyExpansion(qreal progress) {
    m_keptHeader->setAngle(90 * progress);
    m_keptCard->setVisible(progress > 0);
    m_keptCard->setMaximumHeight(
        progress >= 1 ? QWIDGETSIZE_MAX : static_cast<int>(progress * m_keptCard->sizeHint().height()));
}

}  // namespace tarvik::ui
