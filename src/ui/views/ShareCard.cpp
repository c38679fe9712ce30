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
    return QString::number(count) + (count == 1 ? " server" : " servers");
}

}  // namespace

std::string ShareCard::sentence(std::uint64_t bytes, int serverCount) {
    return ByteFormat::short_(bytes) + " across " + std::to_string(serverCount) +
           (serverCount == 1 ? " server" : " servers");
}

ShareCard::ShareCard(const DevFootprint& footprint, const std::vector<ProjectUsage>& projects,
                     int serverCount, bool dark, QWidget* parent)
    : QWidget(parent), m_dark(dark) {
    // Its own palette, so that the card and the pieces inside it keep its appearance whatever the
    // application's is.
    setPalette(Theme::palette(dark));
    setAutoFillBackground(false);
    setFixedSize(width, height);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(72, 56, 72, 48);
    layout->setSpacing(0);

    auto* brand = new QHBoxLayout;
    brand->setSpacing(14);
    brand->addWidget(makeSymbol("hard-drives", Theme::color(Theme::Role::accent, dark), 40, this));
    brand->addWidget(label("Tarvik", 34, QFont::Bold, Theme::color(Theme::Role::text, dark)));
    brand->addStretch();
    layout->addLayout(brand);
    layout->addSpacing(24);
    // The figure block sits in the middle of what is left, however many projects follow it.
    layout->addStretch(1);

    auto* figure = label(qs(sentence(footprint.devBytes(), serverCount)), 68, QFont::Bold,
                         Theme::color(Theme::Role::text, dark));
    figure->setObjectName("sentence");
    layout->addWidget(figure);
    layout->addSpacing(26);

    layout->addWidget(new ShareBar({{footprint.serversBytes, Theme::color(Theme::Role::accent, dark)},
                                    {footprint.containersBytes, Theme::tint(TintToken::teal, dark)},
                                    {footprint.otherBytes, Theme::color(Theme::Role::tertiaryText, dark)}},
                                   footprint.totalBytes, this, 18));
    layout->addSpacing(14);
    layout->addWidget(makeLegend(footprint));
    if (!projects.empty()) {
        layout->addSpacing(34);
        layout->addWidget(makeProjects(projects));
    }
    layout->addStretch(1);
    layout->addSpacing(24);

    auto* footer = new QHBoxLayout;
    footer->addStretch();
    footer->addWidget(
        label(productWebSite, 22, QFont::Medium, Theme::color(Theme::Role::tertiaryText, dark)));
    layout->addLayout(footer);
}

QLabel* ShareCard::label(const QString& text, int pixels, QFont::Weight weight, const QColor& colour) {
    auto* label = new QLabel(text, this);
    QFont font = Theme::font(10, weight);
    // Pixels, not points: the picture is the same whatever the screen's density.
    font.setPixelSize(pixels);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    setTextColour(label, colour);
    return label;
}

QWidget* ShareCard::makeLegend(const DevFootprint& footprint) {
    auto* legend = new QWidget(this);
    auto* layout = new QHBoxLayout(legend);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    const struct {
        const char* title;
        std::uint64_t bytes;
        QColor colour;
    } slices[] = {
        {"Servers", footprint.serversBytes, Theme::color(Theme::Role::accent, m_dark)},
        {"Containers", footprint.containersBytes, Theme::tint(TintToken::teal, m_dark)},
        {"Other", footprint.otherBytes, Theme::color(Theme::Role::tertiaryText, m_dark)},
    };
    for (const auto& slice : slices) {
        layout->addWidget(makeDot(slice.colour, 14, legend));
        layout->addWidget(
            label(slice.title, 22, QFont::Normal, Theme::color(Theme::Role::secondaryText, m_dark)));
        layout->addWidget(label(qs(ByteFormat::short_(slice.bytes)), 22, QFont::DemiBold,
                                Theme::color(Theme::Role::text, m_dark)));
        layout->addSpacing(26);
    }
    layout->addStretch();
    return legend;
}

QWidget* ShareCard::makeProjects(const std::vector<ProjectUsage>& projects) {
    auto* block = new QWidget(this);
    auto* grid = new QGridLayout(block);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(56);
    grid->setVerticalSpacing(12);
    const QColor text = Theme::color(Theme::Role::text, m_dark);
    const QColor quiet = Theme::color(Theme::Role::tertiaryText, m_dark);
    const int shown = std::min<int>(static_cast<int>(projects.size()), listedProjects);
    // Two columns, filled down first, so the largest projects read as one list.
    const int rows = (shown + 1) / 2;
    for (int i = 0; i < shown; ++i) {
        const auto& project = projects[static_cast<std::size_t>(i)];
        auto* line = new QHBoxLayout;
        line->setSpacing(12);
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
        grid->addWidget(
            label("and " + QString::number(more) + (more == 1 ? " more project" : " more projects"), 22,
                  QFont::Normal, quiet),
            rows, 0);
    return block;
}

void ShareCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Theme::color(Theme::Role::background, m_dark));
    // A soft glow of the accent behind the brand, so the card reads as Tarvik's in a feed.
    QRadialGradient glow(QPointF(120, 40), 720);
    QColor accent = Theme::color(Theme::Role::accent, m_dark);
    accent.setAlphaF(m_dark ? 0.22 : 0.12);
    glow.setColorAt(0, accent);
    accent.setAlphaF(0);
    glow.setColorAt(1, accent);
    painter.fillRect(rect(), glow);
}

}  // namespace tarvik::ui
