#include "ui/views/OverviewView.hpp"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>

#include "core/analysis/Insights.hpp"
#include "core/servers/DevFootprint.hpp"
#include "core/support/ByteFormat.hpp"
#include "ui/ServerStore.hpp"
#include "ui/store/StoreActions.hpp"
#include "ui/views/PanelKit.hpp"
#include "ui/views/ShareMenu.hpp"

namespace tarvik::ui {

namespace {

using Share = ShareBar::Share;

// A whole-row button laid out with labels, drawn as a card that answers the mouse.
class WindowRow : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool dark = Theme::isDark(this);
        QColor fill = Theme::color(Theme::Role::card, dark);
        if (underMouse()) fill = dark ? fill.lighter(120) : fill.darker(104);
        painter.setPen(QPen(Theme::color(Theme::Role::separator, dark), 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
    }
};

QVBoxLayout* cardLayout(Card* card) {
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(8);
    return layout;
}

QWidget* symbolLine(std::string_view symbol, const QColor& colour, QLabel* text, QWidget* parent) {
    auto* line = new QWidget(parent);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(makeSymbol(symbol, colour, 14, line), 0, Qt::AlignTop);
    text->setParent(line);
    text->setWordWrap(true);
    layout->addWidget(text, 1);
    return line;
}

// True, and `last` becomes `now`, when what a part shows changed.
template <typename T>
bool fresh(std::optional<T>& last, T now) {
    if (last == now) return false;
    last = std::move(now);
    return true;
}

QVBoxLayout* slotLayout(QWidget* slot, int spacing = 0) {
    auto* layout = new QVBoxLayout(slot);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// Empties `slot` for new content; shows it only when `shown`.
QLayout* refill(QWidget* slot, bool shown) {
    clearLayout(slot->layout());
    slot->setVisible(shown);
    return slot->layout();
}

}  // namespace

OverviewView::OverviewView(ServerStore& store, PanelState& state, std::function<void()> openWindow,
                           QWidget* parent)
    : QWidget(parent),
      m_store(store),
      m_state(state),
      m_openWindow(std::move(openWindow)),
      m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(10, 8, 10, 10);
    m_layout->setSpacing(8);
    for (QWidget** slot : {&m_attention, &m_docker, &m_idle, &m_footprint, &m_projects, &m_window}) {
        *slot = new QWidget(this);
        slotLayout(*slot);
        m_layout->addWidget(*slot);
    }
    m_layout->addStretch();
}

void OverviewView::rebuild() {
    const bool dark = Theme::isDark(this);
    std::vector<AttentionLine> lines;
    for (const auto& insight : m_store.insights())
        if (auto line = Insights::attentionLine(insight)) lines.push_back(std::move(*line));
    if (fresh(m_shown.attention, std::pair(lines, dark))) {
        refill(m_attention, !lines.empty());
        if (!lines.empty()) m_attention->layout()->addWidget(makeAttention(lines, dark));
    }
    const auto limit = m_store.dockerVMLimit();
    if (fresh(m_shown.docker, std::pair(limit, dark))) {
        refill(m_docker, limit.has_value());
        if (limit) {
            auto* note = makeLabel(qs("Docker's VM can use up to " + ByteFormat::short_(*limit) +
                                      ", on top of what containers report."),
                                   9, QFont::Normal, Theme::Role::secondaryText, dark, m_docker);
            auto* line =
                symbolLine("shippingbox", Theme::color(Theme::Role::secondaryText, dark), note, m_docker);
            line->setContentsMargins(4, 0, 4, 0);
            m_docker->layout()->addWidget(line);
        }
    }
    updateIdleBanner(m_store.idleSummary(), dark);
    updateFootprint(m_store.footprint(), dark);
    const auto projects = m_store.projectUsage();
    if (fresh(m_shown.projects, std::pair(projects, dark))) {
        refill(m_projects, !projects.empty());
        if (!projects.empty()) m_projects->layout()->addWidget(makeProjects(projects, dark));
    }
    if (fresh(m_shown.window, dark)) refill(m_window, true)->addWidget(makeWindowRow(dark));
    for (QWidget* slot : {m_attention, m_docker, m_idle, m_footprint, m_projects, m_window})
        showItems(slot->layout());
}

QWidget* OverviewView::makeAttention(const std::vector<AttentionLine>& lines, bool dark) {
    auto* card = new Card(m_attention, Card::Look::outlined);
    auto* layout = cardLayout(card);
    for (const auto& line : lines) {
        const auto role = line.tint == InsightTint::red ? Theme::Role::red : Theme::Role::orange;
        auto* text = makeLabel(qs(line.text), 9.5, QFont::Medium, Theme::Role::text, dark, card);
        layout->addWidget(symbolLine(line.icon, Theme::color(role, dark), text, card));
    }
    return card;
}

// The banner's words follow the summary in place; its button is made again only when what it
// stops, or whether it asks, changed.
void OverviewView::updateIdleBanner(const std::optional<IdleSummary>& summary, bool dark) {
    if (!summary) {
        if (fresh(m_shown.idle, std::tuple(std::string(), false, dark))) refill(m_idle, false);
        return;
    }
    const IdleBanner banner = Insights::idleBanner(*summary);
    const int count = summary->processCount;
    const std::string name = count > 1                  ? std::to_string(count) + " idle servers"
                             : summary->servers.empty() ? std::string("Server")
                                                        : summary->servers.front().kind.name;
    const bool asking = m_state.isConfirming("idle");
    if (fresh(m_shown.idle, std::tuple(banner.icon + '\n' + banner.action + '\n' + name, asking, dark))) {
        auto* card = new Card(m_idle, Card::Look::outlined);
        refill(m_idle, true)->addWidget(card);
        auto* layout = cardLayout(card);
        auto* top = new QHBoxLayout;
        top->setSpacing(10);
        top->addWidget(makeSymbol(banner.icon, Theme::tint(TintToken::indigo, dark), 22, card), 0,
                       Qt::AlignTop);
        auto* text = new QVBoxLayout;
        text->setSpacing(2);
        m_idleTitle = makeLabel("", 10.5, QFont::DemiBold, Theme::Role::text, dark, card);
        text->addWidget(m_idleTitle);
        m_idleSentence = makeLabel("", 9, QFont::Normal, Theme::Role::secondaryText, dark, card);
        m_idleSentence->setWordWrap(true);
        text->addWidget(m_idleSentence);
        top->addLayout(text, 1);
        layout->addLayout(top);
        auto* action = new QHBoxLayout;
        action->addStretch();
        if (asking) {
            // The servers are those idle when the user confirms.
            action->addWidget(makeQuestion(
                stopAllQuestion(count),
                [this, name] {
                    if (auto now = m_store.idleSummary()) m_store.actions().stop(now->servers, name);
                },
                m_state, card));
        } else {
            auto* stop = new CapsuleButton(qs(banner.action), CapsuleButton::Style::plain, card);
            stop->setObjectName("stopIdle");
            connect(stop, &QAbstractButton::clicked, this, [this] { m_state.confirm("idle"); });
            action->addWidget(stop);
        }
        layout->addLayout(action);
    }
    m_idleTitle->setText(qs(banner.title));
    m_idleSentence->setText(qs(banner.sentence));
}

// The heading and its share button stay; the figures beneath are drawn again when they change.
void OverviewView::updateFootprint(const DevFootprint& footprint, bool dark) {
    const bool choosing = m_state.isConfirming("share");
    if (fresh(m_shown.share, std::pair(choosing, dark))) {
        auto* card = new Card(m_footprint, Card::Look::outlined);
        refill(m_footprint, true)->addWidget(card);
        m_shown.footprint.reset();
        auto* layout = cardLayout(card);
        auto* heading = new QHBoxLayout;
        heading->setSpacing(5);
        heading->addWidget(makeLabel("Servers and containers use", 9.5, QFont::Normal,
                                     Theme::Role::secondaryText, dark, card));
        m_total = makeLabel("", 9.5, QFont::Bold, Theme::Role::text, dark, card);
        heading->addWidget(m_total);
        heading->addStretch();
        auto* shareButton =
            new SymbolButton("square.and.arrow.up", Theme::color(Theme::Role::secondaryText, dark), card, 14);
        shareButton->setObjectName("share");
        shareButton->setToolTip(tr("Share"));
        // The choices open inside the panel, the way its questions do.
        connect(shareButton, &QAbstractButton::clicked, this,
                [this] { m_state.isConfirming("share") ? m_state.cancel() : m_state.confirm("share"); });
        heading->addWidget(shareButton);
        layout->addLayout(heading);
        if (choosing) layout->addLayout(makeShareChoices(card));
        m_figures = new QWidget(card);
        slotLayout(m_figures, 8);
        layout->addWidget(m_figures);
    }
    if (!fresh(m_shown.footprint, std::pair(footprint, dark))) return;
    m_total->setText(qs(ByteFormat::short_(footprint.devBytes())));
    auto* layout = static_cast<QVBoxLayout*>(refill(m_figures, true));
    const std::vector<std::pair<const char*, Share>> slices = {
        {"Servers", {footprint.serversBytes, Theme::color(Theme::Role::accent, dark)}},
        {"Containers", {footprint.containersBytes, Theme::tint(TintToken::teal, dark)}},
        {"Other", {footprint.otherBytes, Theme::color(Theme::Role::tertiaryText, dark)}},
    };
    std::vector<Share> shares;
    for (const auto& slice : slices) shares.push_back(slice.second);
    layout->addWidget(new ShareBar(shares, footprint.totalBytes, m_figures));

    auto* legend = new QGridLayout;
    legend->setHorizontalSpacing(5);
    legend->setVerticalSpacing(1);
    int column = 0;
    for (const auto& [title, share] : slices) {
        legend->addWidget(makeDot(share.colour, 8, m_figures), 0, column);
        legend->addWidget(makeLabel(title, 9, QFont::Normal, Theme::Role::secondaryText, dark, m_figures), 0,
                          column + 1);
        legend->addWidget(makeLabel(qs(ByteFormat::short_(share.bytes)), 9.5, QFont::DemiBold,
                                    Theme::Role::text, dark, m_figures),
                          1, column + 1);
        legend->setColumnStretch(column + 1, 1);
        column += 2;
    }
    layout->addLayout(legend);
    showItems(layout);
}

QHBoxLayout* OverviewView::makeShareChoices(QWidget* card) {
    auto* choices = new QHBoxLayout;
    choices->setSpacing(6);
    const struct {
        const char* name;
        const char* title;
        const char* symbol;
        void (ShareMenu::*action)();
    } actions[] = {{"saveImage", "Save image", "square.and.arrow.down", &ShareMenu::saveImage},
                   {"copyImage", "Copy image", "doc.on.doc", &ShareMenu::copyImage}};
    for (const auto& choice : actions) {
        auto* button = new CapsuleButton(choice.title, CapsuleButton::Style::plain, card, choice.symbol);
        button->setObjectName(choice.name);
        connect(button, &QAbstractButton::clicked, this, [this, action = choice.action] {
            m_state.cancel();
            (ShareMenu(m_store).*action)();
        });
        choices->addWidget(button);
    }
    choices->addStretch();
    return choices;
}

QWidget* OverviewView::makeProjects(const std::vector<ProjectUsage>& projects, bool dark) {
    auto* card = new Card(m_projects, Card::Look::outlined);
    auto* layout = cardLayout(card);
    layout->setSpacing(6);
    for (const auto& project : projects) {
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(makeLabel(qs(project.title), 9.5, QFont::DemiBold, Theme::Role::text, dark, card));
        const QString servers =
            QString::number(project.serverCount) + (project.serverCount == 1 ? " server" : " servers");
        row->addWidget(makeLabel(servers, 9, QFont::Normal, Theme::Role::tertiaryText, dark, card));
        row->addStretch();
        row->addWidget(makeLabel(qs(ByteFormat::short_(project.bytes)), 9.5, QFont::Medium, Theme::Role::text,
                                 dark, card));
        layout->addLayout(row);
    }
    return card;
}

QWidget* OverviewView::makeWindowRow(bool dark) {
    auto* row = new WindowRow(m_window);
    row->setObjectName("openWindow");
    row->setCursor(Qt::PointingHandCursor);
    row->setAttribute(Qt::WA_Hover);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 9, 10, 9);
    layout->setSpacing(10);
    layout->addWidget(makeSymbol("macwindow", Theme::color(Theme::Role::accent, dark), 18, row));
    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    text->addWidget(makeLabel("Open the Tarvik window", 10, QFont::DemiBold, Theme::Role::text, dark, row));
    text->addWidget(makeLabel("Every app, chart and reading, in full", 9, QFont::Normal,
                              Theme::Role::secondaryText, dark, row));
    layout->addLayout(text, 1);
    layout->addWidget(makeSymbol("chevron.right", Theme::color(Theme::Role::tertiaryText, dark), 12, row));
    for (auto* label : row->findChildren<QLabel*>()) label->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(row, &QAbstractButton::clicked, this, [this] { m_openWindow(); });
    return row;
}

}  // namespace tarvik::ui
