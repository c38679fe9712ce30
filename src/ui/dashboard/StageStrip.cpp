#include "ui/dashboard/StageStrip.hpp"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "core/analysis/Diagnosis.hpp"
#include "core/analysis/HeatReport.hpp"
#include "core/machine/SystemVitals.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/icons/Icons.hpp"
#include "ui/views/PanelKit.hpp"

namespace tarvik::ui {

namespace {

struct StageText {
    Q_DECLARE_TR_FUNCTIONS(StageStrip)
};

QString percent(double value) {
    return StageText::tr("%1%").arg(std::lround(value));
}

QString overviewValue(const ServerStore& store) {
    if (store.heat().level >= HeatLevel::hot) return StageText::tr("Running hot");
    auto worst = Finding::Severity::calm;
    for (const auto& finding : store.findings()) worst = std::max(worst, finding.severity);
    switch (worst) {
        case Finding::Severity::critical:
            return StageText::tr("Needs attention");
        case Finding::Severity::warning:
            return StageText::tr("Worth a look");
        case Finding::Severity::notice:
            return StageText::tr("Good to know");
        case Finding::Severity::calm:
            break;
    }
    return StageText::tr("All clear");
}

// "9.5 of 16 GB": the unit once when both sizes share it.
QString memoryValue(const MemoryBreakdown& memory) {
    std::string used = ByteFormat::short_(memory.used());
    const std::string total = ByteFormat::short_(memory.total);
    const auto unit = [](const std::string& size) { return size.substr(size.rfind(' ') + 1); };
    if (const auto space = used.rfind(' '); space != std::string::npos && unit(used) == unit(total))
        used.resize(space);
    return StageText::tr("%1 of %2").arg(qs(used), qs(total));
}

QString serverCount(int count) {
    if (count == 0) return StageText::tr("No dev servers");
    return count == 1 ? StageText::tr("1 server") : StageText::tr("%1 servers").arg(count);
}

}  // namespace

QString stageValue(DashboardSection section, const ServerStore& store) {
    const SystemVitals& vitals = store.vitals();
    // Memory and disk arrive with the first sample; the rates only with the second.
    const bool measured = vitals.memory || vitals.disk || vitals.cpu;
    if (section == DashboardSection::settings) return {};
    if (section == DashboardSection::projects)
        return store.hasScanned() ? serverCount(store.devServerCount()) : StageText::tr("Measuring");
    if (!measured) return StageText::tr("Measuring");
    switch (section) {
        case DashboardSection::overview:
            return overviewValue(store);
        case DashboardSection::cpu:
            return vitals.cpu ? percent(vitals.cpu->busy * 100) : StageText::tr("Measuring");
        case DashboardSection::memory:
            return vitals.memory ? memoryValue(*vitals.memory) : StageText::tr("Measuring");
        case DashboardSection::gpu:
            if (vitals.gpu) return percent(*vitals.gpu);
            // A card that describes itself but gives no load is there all the same.
            return vitals.gpus.empty() ? StageText::tr("No GPU") : QString::fromUtf8("—");
        case DashboardSection::disk:
            return vitals.disk ? StageText::tr("%1 free").arg(qs(ByteFormat::storage(vitals.disk->free)))
                               : StageText::tr("Measuring");
        case DashboardSection::network:
            return vitals.networkIn ? StageText::tr("↓ %1").arg(qs(ByteFormat::rate(*vitals.networkIn)))
                                    : StageText::tr("Measuring");
        case DashboardSection::battery:
            return vitals.battery ? percent(vitals.battery->percent) : StageText::tr("No battery");
        case DashboardSection::heat:
            if (vitals.chipCelsius) return StageText::tr("%1 °C").arg(std::lround(*vitals.chipCelsius));
            // Without a sensor the heat report judges by load alone; the tile says what it found.
            switch (store.heat().level) {
                case HeatLevel::cool:
                    return StageText::tr("Normal");
                case HeatLevel::workingHard:
                    return StageText::tr("Working hard");
                case HeatLevel::warm:
                    return StageText::tr("Warm");
                case HeatLevel::hot:
                    return StageText::tr("Running hot");
                case HeatLevel::critical:
                    return StageText::tr("Very hot");
            }
            return StageText::tr("Normal");
        case DashboardSection::projects:
        case DashboardSection::settings:
            break;
    }
    return {};
}

class StageStrip::Tile : public QAbstractButton {
public:
    Tile(DashboardSection section, QWidget* parent) : QAbstractButton(parent), m_section(section) {
        setObjectName(qs("stage:" + std::string(DashboardSections::rawValue(section))));
        setAccessibleName(DashboardSections::titleText(section));
        setCheckable(true);
        setAttribute(Qt::WA_Hover);
        setMinimumSize(72, 52);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    std::function<void(std::optional<DashboardSection>)> onHover;

    void setValue(const QString& value) {
        if (value == accessibleDescription()) return;
        setAccessibleDescription(value);
        updateGeometry();
        update();
    }
    [[nodiscard]] QSize sizeHint() const override {
        const int title = QFontMetrics(titleFont).horizontalAdvance(accessibleName()) + 18;
        const int value = QFontMetrics(valueFont).horizontalAdvance(accessibleDescription());
        return {std::max({title, value, 64}) + 2 * inset + 2, 52};
    }

protected:
    void enterEvent(QEnterEvent* event) override {
        QAbstractButton::enterEvent(event);
        if (onHover) onHover(m_section);
    }
    void leaveEvent(QEvent* event) override {
        QAbstractButton::leaveEvent(event);
        if (onHover) onHover(std::nullopt);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool dark = Theme::isDark(this);
        const QColor tint = Theme::tint(DashboardSections::tint(m_section), this);
        QColor fill = Theme::color(Theme::Role::card, this);
        if (isChecked()) {
            fill = tint;
            fill.setAlphaF(dark ? 0.28F : 0.14F);
        } else if (underMouse()) {
            fill = dark ? fill.lighter(125) : fill.darker(105);
        }
        painter.setPen(QPen(isChecked() ? tint : Theme::color(Theme::Role::separator, this), 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), Theme::Radius::l,
                                Theme::Radius::l);

        painter.drawPixmap(
            inset, 9, Icons::symbol(DashboardSections::symbol(m_section), tint, 13, devicePixelRatioF()));
        painter.setFont(titleFont);
        painter.setPen(Theme::color(Theme::Role::secondaryText, this));
        const QRect title(inset + 18, 6, width() - inset * 2 - 18, 18);
        painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(accessibleName(), Qt::ElideRight, title.width()));
        painter.setFont(valueFont);
        painter.setPen(Theme::color(Theme::Role::text, this));
        const QRect value(inset, 26, width() - inset * 2, 20);
        painter.drawText(
            value, Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(accessibleDescription(), Qt::ElideRight, value.width()));
    }

private:
    static constexpr int inset = 9;
    const QFont titleFont = Theme::font(Theme::Text::caption, QFont::Medium);
    const QFont valueFont = Theme::font(Theme::Text::subheadline, QFont::DemiBold);
    DashboardSection m_section;
};

StageStrip::StageStrip(const ServerStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_grid(new QGridLayout(this)) {
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setSpacing(Theme::Space::s);
    for (DashboardSection section : DashboardSections::all) {
        auto* tile = new Tile(section, this);
        tile->onHover = [this](std::optional<DashboardSection> hovered) {
            if (onHover) onHover(hovered);
        };
        connect(tile, &QAbstractButton::clicked, this, [this, section] {
            if (onHover) onHover(std::nullopt);
            if (onSelect) onSelect(section);
        });
        m_tiles[section] = tile;
    }
    arrange(static_cast<int>(m_tiles.size()));
    refresh();
}

void StageStrip::arrange(int columns) {
    if (columns == m_columns) return;
    m_columns = columns;
    int index = 0;
    for (DashboardSection section : DashboardSections::all) {
        m_grid->addWidget(m_tiles[section], index / columns, index % columns);
        ++index;
    }
    for (int column = 0; column < static_cast<int>(m_tiles.size()); ++column)
        m_grid->setColumnStretch(column, column < columns ? 1 : 0);
}

void StageStrip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fit();
}

void StageStrip::fit() {
    int row = m_grid->spacing() * (static_cast<int>(m_tiles.size()) - 1);
    for (auto [section, tile] : m_tiles) row += tile->sizeHint().width();
    const int all = static_cast<int>(m_tiles.size());
    // Two rows of half the tiles rather than readings cut short.
    arrange(contentsRect().width() >= row ? all : (all + 1) / 2);
}

void StageStrip::refresh() {
    for (auto [section, tile] : m_tiles) tile->setValue(stageValue(section, m_store));
    fit();
}

void StageStrip::setCurrent(DashboardSection section) {
    for (auto [shown, tile] : m_tiles) tile->setChecked(shown == section);
}

QRect StageStrip::globalFrame(DashboardSection section) const {
    const Tile* tile = m_tiles.at(section);
    return {tile->mapToGlobal(QPoint(0, 0)), tile->size()};
}

StagePreview::StagePreview(QWidget* parent) : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
    setObjectName("stagePreview");
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QPoint StagePreview::placement(QRect tile, QSize size, QRect available) {
    constexpr int gap = 6;
    int y = tile.bottom() + 1 + gap;
    if (y + size.height() > available.bottom() + 1 && tile.top() - gap - size.height() >= available.top())
        y = tile.top() - gap - size.height();
    const int x = std::max(available.left(), std::min(tile.left(), available.right() + 1 - size.width()));
    return {x, y};
}

void StagePreview::present(const QPixmap& page, const QString& title, QRect tile) {
    constexpr int pictureWidth = 300;
    m_page = page.scaledToWidth(qRound(pictureWidth * page.devicePixelRatio()), Qt::SmoothTransformation);
    m_page.setDevicePixelRatio(page.devicePixelRatio());
    m_title = title;
    setFixedSize(pictureWidth + 16, qRound(m_page.deviceIndependentSize().height()) + 40);
    const QScreen* screen = QGuiApplication::screenAt(tile.center());
    if (!screen) screen = this->screen();
    move(screen ? placement(tile, size(), screen->availableGeometry()) : tile.bottomLeft() + QPoint(0, 6));
    show();
    raise();
    update();
}

void StagePreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Without a compositor a translucent window's clear corners show black; the mask cuts them.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), Theme::Radius::l, Theme::Radius::l);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void StagePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::color(Theme::Role::separator, this), 1));
    painter.setBrush(Theme::color(Theme::Role::card, this));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), Theme::Radius::l,
                            Theme::Radius::l);
    painter.setFont(Theme::font(Theme::Text::subheadline, QFont::DemiBold));
    painter.setPen(Theme::color(Theme::Role::text, this));
    painter.drawText(QRect(10, 6, width() - 20, 24), Qt::AlignLeft | Qt::AlignVCenter, m_title);
    QPainterPath clip;
    const QRectF frame(8, 32, width() - 16, height() - 40);
    clip.addRoundedRect(frame, Theme::Radius::s, Theme::Radius::s);
    painter.setClipPath(clip);
    painter.drawPixmap(frame.topLeft(), m_page);
}

}  // namespace tarvik::ui
