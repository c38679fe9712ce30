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

#include "core/servers/ServerClassifier.hpp"
#include "core/support/ByteFormat.hpp"
#include "core/support/Words.hpp"
#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

constexpr int symbolSize = 14;

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Rows are clicked as a whole, so their texts let the mouse through.
QLabel* plainLabel(QWidget* parent, const QFont& font) {
    auto* label = new QLabel(parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

void setSymbol(QLabel* label, std::string_view name, const QColor& colour) {
    label->setPixmap(Icons::symbol(name, colour, symbolSize, label->devicePixelRatioF()));
}

void paintHover(QWidget* widget, bool dark) {
    if (!widget->underMouse()) return;
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor hover = Theme::color(Theme::Role::text, dark);
    hover.setAlphaF(0.06f);
    painter.setBrush(hover);
    painter.drawRoundedRect(QRectF(widget->rect()).adjusted(3, 2, -3, -2), 6, 6);
}

}  // namespace

// One reviewable server; a click anywhere on it toggles its tick.
class TidyView::ReviewRow : public QAbstractButton {
public:
    explicit ReviewRow(QWidget* parent) : QAbstractButton(parent) {
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(10, 7, 12, 7);
        layout->setSpacing(8);
        m_check = plainLabel(this, Theme::font(12));
        m_port = plainLabel(this, Theme::monospaced(12, QFont::Medium));
        m_name = plainLabel(this, Theme::font(12));
        m_memory = plainLabel(this, Theme::monospaced(11));
        m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        layout->addWidget(m_check);
        layout->addWidget(m_port);
        layout->addWidget(m_name, 1);
        layout->addWidget(m_memory);
    }

    void display(const Server& server, bool ticked, bool dark) {
        m_id = server.id();
        setAccessibleName(qs(":" + std::to_string(server.port) + " " + server.processName));
        setSymbol(m_check, ticked ? "checkmark.square.fill" : "square",
                  Theme::color(ticked ? Theme::Role::accent : Theme::Role::tertiaryText, dark));
        m_port->setText(qs(":" + std::to_string(server.port)));
        m_name->setText(qs(server.processName + "  ·  idle"));
        m_memory->setText(server.memoryBytes ? qs(ByteFormat::short_(*server.memoryBytes)) : QString());
        setForeground(m_memory, Theme::color(Theme::Role::secondaryText, dark));
    }
    [[nodiscard]] const std::string& id() const { return m_id; }

protected:
    void paintEvent(QPaintEvent*) override { paintHover(this, Theme::isDark(this)); }

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
        layout->setContentsMargins(10, 6, 12, 6);
        layout->setSpacing(8);
        m_lock = plainLabel(this, Theme::font(12));
        m_port = plainLabel(this, Theme::monospaced(12, QFont::Medium));
        m_name = plainLabel(this, Theme::font(12));
        m_tag = plainLabel(this, Theme::font(10));
        m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        layout->addWidget(m_lock);
        layout->addWidget(m_port);
        layout->addWidget(m_name, 1);
        layout->addWidget(m_tag);
    }

    void display(const Server& server, bool dark) {
        const QColor tertiary = Theme::color(Theme::Role::tertiaryText, dark);
        setSymbol(m_lock, "lock.fill", tertiary);
        m_port->setText(qs(":" + std::to_string(server.port)));
        m_name->setText(qs(server.processName));
        // Everything kept safe is either the system's own or still working.
        m_tag->setText(qs(ServerClassifier::isProtectedSystemProcess(server.processName)
                              ? Words::text("macOS")
                              : "active"));
        setForeground(m_port, Theme::color(Theme::Role::secondaryText, dark));
        setForeground(m_name, Theme::color(Theme::Role::secondaryText, dark));
        setForeground(m_tag, tertiary);
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
        layout->setContentsMargins(4 + symbolSize + 6, 6, 10, 6);
        layout->setSpacing(6);
        title = plainLabel(this, Theme::font(12, QFont::DemiBold));
        title->setText("Kept Safe");
        count = plainLabel(this, Theme::font(12));
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
    void paintEvent(QPaintEvent*) override {
        const bool dark = Theme::isDark(this);
        paintHover(this, dark);
        const QPixmap chevron = Icons::symbol("chevron.right", Theme::color(Theme::Role::secondaryText, dark),
                                              symbolSize - 2, devicePixelRatioF());
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(4 + symbolSize / 2.0, height() / 2.0);
        painter.rotate(m_angle);
        painter.drawPixmap(QPointF(-(symbolSize - 2) / 2.0, -(symbolSize - 2) / 2.0), chevron);
    }

private:
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
    column->setContentsMargins(14, 10, 14, 10);
    column->setSpacing(6);
    outer->addWidget(scroll, 1);

    auto* summary = new Card(content, Card::Look::plain);
    auto* summaryLayout = new QVBoxLayout(summary);
    summaryLayout->setContentsMargins(12, 10, 12, 10);
    summaryLayout->setSpacing(2);
    auto* caption = label(summary, Theme::font(11), Theme::Role::secondaryText);
    caption->setText("Reclaim");
    m_figure = plainLabel(summary, Theme::monospaced(13, QFont::DemiBold));
    m_figure->setObjectName("figure");
    summaryLayout->addWidget(caption);
    summaryLayout->addWidget(m_figure);
    column->addWidget(summary);
    column->addSpacing(8);

    auto* reviewHeader = new QHBoxLayout;
    reviewHeader->setContentsMargins(4, 0, 2, 0);
    reviewHeader->setSpacing(6);
    auto* review = label(content, Theme::font(12, QFont::DemiBold), Theme::Role::text);
    review->setText("Review");
    m_reviewCount = label(content, Theme::font(12), Theme::Role::tertiaryText);
    m_selectAll = new QPushButton(content);
    m_selectAll->setFlat(true);
    m_selectAll->setCursor(Qt::PointingHandCursor);
    m_selectAll->setFont(Theme::font(12));
    connect(m_selectAll, &QPushButton::clicked, this, &TidyView::selectAll);
    reviewHeader->addWidget(review);
    reviewHeader->addWidget(m_reviewCount);
    reviewHeader->addStretch();
    reviewHeader->addWidget(m_selectAll);
    column->addLayout(reviewHeader);

    m_reviewCard = new Card(content);
    auto* reviewLayout = new QVBoxLayout(m_reviewCard);
    reviewLayout->setContentsMargins(0, 2, 0, 2);
    reviewLayout->setSpacing(0);
    m_nothing = label(m_reviewCard, Theme::font(12), Theme::Role::secondaryText);
    m_nothing->setText(QString::fromUtf8(
        "Nothing to clean up — no background listener has been idle long enough to be sure."));
    m_nothing->setWordWrap(true);
    m_nothing->setContentsMargins(12, 8, 12, 8);
    reviewLayout->addWidget(m_nothing);
    column->addWidget(m_reviewCard);
    column->addSpacing(8);

    m_keptSection = new QWidget(content);
    auto* keptLayout = new QVBoxLayout(m_keptSection);
    keptLayout->setContentsMargins(0, 0, 0, 0);
    keptLayout->setSpacing(4);
    m_keptHeader = new KeptSafeHeader(m_keptSection);
    connect(m_keptHeader, &QAbstractButton::clicked, this, [this] { expandKeptSafe(!m_showKeptSafe); });
    m_keptCard = new Card(m_keptSection);
    auto* keptRows = new QVBoxLayout(m_keptCard);
    keptRows->setContentsMargins(0, 2, 0, 2);
    keptRows->setSpacing(0);
    keptLayout->addWidget(m_keptHeader);
    keptLayout->addWidget(m_keptCard);
    column->addWidget(m_keptSection);
    column->addStretch();
    scroll->setWidget(content);
    content->setAutoFillBackground(false);  // setWidget turns it on

    m_cleanUp = new QPushButton(this);
    m_cleanUp->setFont(Theme::font(13, QFont::DemiBold));
    m_cleanUp->setCursor(Qt::PointingHandCursor);
    connect(m_cleanUp, &QPushButton::clicked, this, &TidyView::cleanUp);
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(14, 8, 14, 14);
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
    if (event->type() == QEvent::PaletteChange && m_cleanUp) restyle();
}

QLabel* TidyView::label(QWidget* parent, const QFont& font, Theme::Role role) {
    auto* result = plainLabel(parent, font);
    m_coloured.emplace_back(result, role);
    return result;
}

void TidyView::restyle() {
    const bool dark = Theme::isDark(this);
    auto colour = [dark](Theme::Role role) { return Theme::color(role, dark).name(QColor::HexArgb); };
    for (auto [widget, role] : m_coloured) setForeground(widget, Theme::color(role, dark));
    m_selectAll->setStyleSheet(
        QString("QPushButton { border: none; background: transparent; color: %1; "
                "padding: 2px 4px; } QPushButton:hover { text-decoration: underline; }")
            .arg(colour(Theme::Role::accent)));
    const QColor accent = Theme::color(Theme::Role::accent, dark);
    m_cleanUp->setStyleSheet(
        QString(
            "QPushButton { border: none; border-radius: 8px; padding: 8px 12px; color: white; "
            "background: %1; } QPushButton:hover { background: %2; } QPushButton:pressed { background: %3; } "
            "QPushButton:disabled { background: %4; color: %5; }")
            .arg(accent.name(), accent.lighter(112).name(), accent.darker(115).name(),
                 colour(Theme::Role::separator), colour(Theme::Role::tertiaryText)));
    refresh();
}

std::vector<Server> TidyView::selectedServers() const {
    std::vector<Server> result;
    for (const auto& server : m_tidy.reviewable)
        if (m_selected.contains(server.id())) result.push_back(server);
    return result;
}

void TidyView::refresh() {
    m_tidy = TidyCandidates::evaluate(m_store.servers(), [this](std::int32_t pid) {
        return m_previewIdlePids ? m_previewIdlePids->contains(pid) : m_store.idleTracker().isIdle(pid);
    });
    const auto& reviewable = m_tidy.reviewable;
    const auto& keptSafe = m_tidy.keptSafe;
    const auto selected = selectedServers();
    const std::uint64_t bytes = TidyCandidates::Result{selected, {}}.reclaimableBytes();
    const bool allSelected = !reviewable.empty() && selected.size() == reviewable.size();
    const bool dark = Theme::isDark(this);

    showFigure(bytes);
    m_reviewCount->setText(QString::number(reviewable.size()));
    m_selectAll->setVisible(!reviewable.empty());
    m_selectAll->setText(allSelected ? "Deselect All" : "Select All");
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
        m_reviewRows[i]->display(reviewable[i], m_selected.contains(reviewable[i].id()), dark);

    m_keptSection->setVisible(!keptSafe.empty());
    m_keptHeader->count->setText(QString::number(keptSafe.size()));
    setForeground(m_keptHeader->count, Theme::color(Theme::Role::tertiaryText, dark));
    while (m_keptRows.size() < keptSafe.size()) {
        m_keptRows.push_back(new KeptRow(m_keptCard));
        m_keptCard->layout()->addWidget(m_keptRows.back());
    }
    while (m_keptRows.size() > keptSafe.size()) {
        delete m_keptRows.back();
        m_keptRows.pop_back();
    }
    for (std::size_t i = 0; i < keptSafe.size(); ++i) m_keptRows[i]->display(keptSafe[i], dark);
    if (m_expansion.state() != QAbstractAnimation::Running) applyExpansion(m_showKeptSafe ? 1 : 0);

    m_cleanUp->setText(bytes > 0 ? QString::fromUtf8("Clean Up — free ") + qs(ByteFormat::short_(bytes))
                                 : QString("Clean Up"));
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
    setForeground(m_figure, Theme::color(bytes > 0 ? Theme::Role::green : Theme::Role::secondaryText,
                                         Theme::isDark(this)));
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
