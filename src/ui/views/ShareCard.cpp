#include "ui/views/ShareCard.hpp"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "core/support/ByteFormat.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/Theme.hpp"
#include "ui/views/ViewParts.hpp"

namespace tarvik::ui {

namespace {

QString serversText(int count) {
    return count == 1 ? ShareCard::tr("1 server") : ShareCard::tr("%1 servers").arg(count);
}

}  // namespace

QString ShareCard::sentence(std::uint64_t bytes, int serverCount) {
    const QString figure = qs(ByteFormat::short_(bytes));
    return serverCount == 1 ? tr("%1 across 1 server").arg(figure)
                            : tr("%1 across %2 servers").arg(figure).arg(serverCount);
}

ShareCard::ShareCard(const DevFootprint& footprint, const std::vector<ProjectUsage>& projects,
                     int serverCount, const QPalette& appearance, QWidget* parent)
    : QWidget(parent) {
    // Its own palette, so that the card and the pieces inside it keep its appearance whatever the
    // application's is.
    setPalette(Theme::palette(Theme::isDark(appearance)));
    setAutoFillBackground(false);
    setFixedSize(width, height);

    auto* layout = new QVBoxLayout(this);
    // A picture of a fixed size, spaced in multiples of the views' larger steps.
    layout->setContentsMargins(3 * Theme::Space::section, 2 * Theme::Space::page, 3 * Theme::Space::section,
                               2 * Theme::Space::section);
    layout->setSpacing(0);

    auto* brand = new QHBoxLayout;
    brand->setSpacing(Theme::Space::xxl);
    brand->addWidget(makeSymbol("server.rack", Theme::Role::accent, 40, this));
    brand->addWidget(label(QStringLiteral("Tarvik"), 34, QFont::Bold, Theme::Role::text));
    brand->addStretch();
    layout->addLayout(brand);
    layout->addSpacing(Theme::Space::section);
    // The figure block sits in the middle of what is left, however many projects follow it.
    layout->addStretch(1);

    auto* figure = label(sentence(footprint.devBytes(), serverCount), 68, QFont::Bold, Theme::Role::text);
    figure->setObjectName("sentence");
    layout->addWidget(figure);
    layout->addSpacing(Theme::Space::section);

    layout->addWidget(new ShareBar({{footprint.serversBytes, Theme::Role::accent},
                                    {footprint.containersBytes, TintToken::teal},
                                    {footprint.otherBytes, Theme::Role::tertiaryText}},
                                   footprint.totalBytes, this, 18));
    layout->addSpacing(Theme::Space::xxl);
    layout->addWidget(makeLegend(footprint));
    if (!projects.empty()) {
        layout->addSpacing(Theme::Space::section + Theme::Space::l);
        layout->addWidget(makeProjects(projects));
    }
    layout->addStretch(1);
    layout->addSpacing(Theme::Space::section);

    auto* footer = new QHBoxLayout;
    footer->addStretch();
    footer->addWidget(label(productWebSite, 22, QFont::Medium, Theme::Role::tertiaryText));
    layout->addLayout(footer);
}

QLabel* ShareCard::label(const QString& text, int pixels, QFont::Weight weight, Theme::Role role) {
    auto* label = new QLabel(text, this);
    QFont font = Theme::font(Theme::Text::subheadline, weight);
    // Pixels, not points: the picture is the same whatever the screen's density.
    font.setPixelSize(pixels);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    Theme::setForeground(label, role);
    return label;
}

QWidget* ShareCard::makeLegend(const DevFootprint& footprint) {
    auto* legend = new QWidget(this);
    auto* layout = new QHBoxLayout(legend);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::Space::l);
    const struct {
        QString title;
        std::uint64_t bytes;
        Theme::Ink colour;
    } slices[] = {
        {tr("Servers"), footprint.serversBytes, Theme::Role::accent},
        {tr("Containers"), footprint.containersBytes, TintToken::teal},
        {tr("Other"), footprint.otherBytes, Theme::Role::tertiaryText},
    };
    for (const auto& slice : slices) {
        layout->addWidget(makeDot(slice.colour, 14, legend));
        layout->addWidget(label(slice.title, 22, QFont::Normal, Theme::Role::secondaryText));
        layout->addWidget(label(qs(ByteFormat::short_(slice.bytes)), 22, QFont::DemiBold, Theme::Role::text));
        layout->addSpacing(Theme::Space::section);
    }
    layout->addStretch();
    return legend;
}

QWidget* ShareCard::makeProjects(const std::vector<ProjectUsage>& projects) {
    auto* block = new QWidget(this);
    auto* grid = new QGridLayout(block);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(2 * Theme::Space::page);
    grid->setVerticalSpacing(Theme::Space::xl);
    const Theme::Role text = Theme::Role::text;
    const Theme::Role quiet = Theme::Role::tertiaryText;
    const int shown = std::min<int>(static_cast<int>(projects.size()), listedProjects);
    // Two columns, filled down first, so the largest projects read as one list.
    const int rows = (shown + 1) / 2;
    for (int i = 0; i < shown; ++i) {
        const auto& project = projects[static_cast<std::size_t>(i)];
        auto* line = new QHBoxLayout;
        line->setSpacing(Theme::Space::xl);
        auto* title = label(qs(project.title), 26, QFont::DemiBold, text);
        title->setMaximumWidth(300);
        title->setText(title->fontMetrics().elidedText(title->text(), Qt::ElideRight, 300));
        line->addWidget(title);
        line->addWidget(label(serversText(project.serverCount), 22, QFont::Normal, quiet));
        line->addStretch();
        line->addWidget(label(qs(ByteFormat::short_(project.bytes)), 26, QFont::Medium, text));
        grid->addLayout(line, i % rows, i / rows);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    const int more = static_cast<int>(projects.size()) - shown;
    if (more > 0)
        grid->addWidget(label(more == 1 ? tr("and 1 more project") : tr("and %1 more projects").arg(more), 22,
                              QFont::Normal, quiet),
                        rows, 0);
    return block;
}

void ShareCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Theme::color(Theme::Role::background, this));
    // A soft glow of the accent behind the brand, so the card reads as Tarvik's in a feed.
    QRadialGradient glow(QPointF(120, 40), 720);
    QColor accent = Theme::color(Theme::Role::accent, this);
    accent.setAlphaF(Theme::isDark(this) ? 0.22 : 0.12);
    glow.setColorAt(0, accent);
    accent.setAlphaF(0);
    glow.setColorAt(1, accent);
    painter.fillRect(rect(), glow);
}

}  // namespace tarvik::ui
