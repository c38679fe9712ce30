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
    explicit WindowRow(QWidget* parent) : QAbstractButton(parent) { setFocusPolicy(Qt::TabFocus); }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!clickOnEnter(this, event)) QAbstractButton::keyPressEvent(event);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = Theme::color(Theme::Role::card, this);
        if (underMouse()) fill = Theme::isDark(this) ? fill.lighter(120) : fill.darker(104);
        painter.setPen(QPen(Theme::color(Theme::Role::separator, this), 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), Theme::Radius::m,
                                Theme::Radius::m);
        if (showsFocusRing(this)) paintFocusRing(painter, this, QRectF(rect()), Theme::Radius::m);
    }
};

QVBoxLayout* cardLayout(Card* card) {
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(Theme::Space::xl, Theme::Space::l, Theme::Space::xl, Theme::Space::l);
    layout->setSpacing(Theme::Space::m);
    return layout;
}

QWidget* symbolLine(std::string_view symbol, Theme::Role role, QLabel* text, QWidget* parent) {
    auto* line = new QWidget(parent);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Theme::Space::m);
    layout->addWidget(makeSymbol(symbol, role, 14, line), 0, Qt::AlignTop);
    text->setParent(line);
    text->setText(breakable(text->text()));
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
    m_layout->setContentsMargins(Theme::Space::l, Theme::Space::m, Theme::Space::l, Theme::Space::l);
    m_layout->setSpacing(Theme::Space::m);
    for (QWidget** slot : {&m_attention, &m_docker, &m_idle, &m_footprint, &m_projects, &m_window}) {
        *slot = new QWidget(this);
        slotLayout(*slot);
        // Shown once filled: a part whose first value equals "nothing yet" (no Docker VM limit
        // compares equal to none seen) is never refilled, and must not hold its place empty.
        (*slot)->hide();
        m_layout->addWidget(*slot);
    }
    m_layout->addStretch();
}

void OverviewView::rebuild() {
    std::vector<AttentionLine> lines;
    for (const auto& insight : m_store.insights())
        if (auto line = Insights::attentionLine(insight)) lines.push_back(std::move(*line));
    if (fresh(m_shown.attention, lines)) {
        refill(m_attention, !lines.empty());
        if (!lines.empty()) m_attention->layout()->addWidget(makeAttention(lines));
    }
    const auto limit = m_store.dockerVMLimit();
    if (fresh(m_shown.docker, limit)) {
        refill(m_docker, limit.has_value());
        if (limit) {
            auto* note = makeLabel(tr("Docker's VM can use up to %1, on top of what containers report.")
                                       .arg(qs(ByteFormat::short_(*limit))),
                                   Theme::Text::caption, Theme::Role::secondaryText, m_docker);
            auto* line = symbolLine("package", Theme::Role::secondaryText, note, m_docker);
            line->setContentsMargins(Theme::Space::xs, 0, Theme::Space::xs, 0);
            m_docker->layout()->addWidget(line);
        }
    }
    updateIdleBanner(m_store.idleSummary());
    updateFootprint(m_store.footprint());
    const auto projects = m_store.projectUsage();
    if (fresh(m_shown.projects, projects)) {
        refill(m_projects, !projects.empty());
        if (!projects.empty()) m_projects->layout()->addWidget(makeProjects(projects));
    }
    if (fresh(m_shown.window, true)) refill(m_window, true)->addWidget(makeWindowRow());
    for (QWidget* slot : {m_attention, m_docker, m_idle, m_footprint, m_projects, m_window})
        showItems(slot->layout());
}

QWidget* OverviewView::makeAttention(const std::vector<AttentionLine>& lines) {
    auto* card = new Card(m_attention, Card::Look::outlined);
    auto* layout = cardLayout(card);
    for (const auto& line : lines) {
        const auto role = line.tint == InsightTint::red ? Theme::Role::red : Theme::Role::orange;
        auto* text = makeLabel(qs(line.text), Theme::Text::footnote, QFont::Medium, Theme::Role::text, card);
        layout->addWidget(symbolLine(line.icon, role, text, card));
    }
    return card;
}

// The banner's words follow the summary in place; its button is made again only when what it
// stops, or whether it asks, changed.
void OverviewView::updateIdleBanner(const std::optional<IdleSummary>& summary) {
    if (!summary) {
        if (fresh(m_shown.idle, std::pair(std::string(), false))) refill(m_idle, false);
        return;
    }
    const IdleBanner banner = Insights::idleBanner(*summary);
    const int count = summary->processCount;
    const std::string name = count > 1                  ? tr("%1 idle servers").arg(count).toStdString()
                             : summary->servers.empty() ? tr("Server").toStdString()
                                                        : summary->servers.front().kind.name;
    const bool asking = m_state.isConfirming("idle");
    if (fresh(m_shown.idle, std::pair(banner.icon + '\n' + banner.action + '\n' + name, asking))) {
        auto* card = new Card(m_idle, Card::Look::outlined);
        refill(m_idle, true)->addWidget(card);
        auto* layout = cardLayout(card);
        auto* top = new QHBoxLayout;
        top->setSpacing(Theme::Space::l);
        top->addWidget(makeSymbol(banner.icon, TintToken::indigo, 22, card), 0, Qt::AlignTop);
        auto* text = new QVBoxLayout;
        text->setSpacing(Theme::Space::xxs);
        m_idleTitle = new ElidedLabel({}, Theme::font(Theme::Text::callout, QFont::DemiBold),
                                      Theme::Role::text, card, Qt::ElideRight);
        text->addWidget(m_idleTitle);
        m_idleSentence = makeLabel({}, Theme::Text::caption, Theme::Role::secondaryText, card);
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
    m_idleSentence->setText(breakable(qs(banner.sentence)));
}

// The heading and its share button stay; the figures beneath are drawn again when they change.
void OverviewView::updateFootprint(const DevFootprint& footprint) {
    const bool choosing = m_state.isConfirming("share");
    if (fresh(m_shown.share, choosing)) {
        auto* card = new Card(m_footprint, Card::Look::outlined);
        refill(m_footprint, true)->addWidget(card);
        m_shown.footprint.reset();
        auto* layout = cardLayout(card);
        auto* heading = new QHBoxLayout;
        heading->setSpacing(Theme::Space::xs);
        heading->addWidget(makeLabel(tr("Servers and containers use"), Theme::Text::footnote,
                                     Theme::Role::secondaryText, card));
        m_total = makeLabel({}, Theme::Text::footnote, QFont::Bold, Theme::Role::text, card);
        heading->addWidget(m_total);
        heading->addStretch();
        auto* shareButton = new SymbolButton("export", Theme::Role::secondaryText, card, 14);
        shareButton->setObjectName("share");
        shareButton->setToolTip(tr("Share"));
        shareButton->setAccessibleName(shareButton->toolTip());
        // The choices open inside the panel, the way its questions do.
        connect(shareButton, &QAbstractButton::clicked, this,
                [this] { m_state.isConfirming("share") ? m_state.cancel() : m_state.confirm("share"); });
        heading->addWidget(shareButton);
        layout->addLayout(heading);
        if (choosing) layout->addLayout(makeShareChoices(card));
        m_figures = new QWidget(card);
        slotLayout(m_figures, Theme::Space::m);
        layout->addWidget(m_figures);
    }
    if (!fresh(m_shown.footprint, footprint)) return;
    m_total->setText(qs(ByteFormat::short_(footprint.devBytes())));
    auto* layout = static_cast<QVBoxLayout*>(refill(m_figures, true));
    const std::vector<std::pair<QString, Share>> slices = {
        {tr("Servers"), {footprint.serversBytes, Theme::Role::accent}},
        {tr("Containers"), {footprint.containersBytes, TintToken::teal}},
        {tr("Other"), {footprint.otherBytes, Theme::Role::tertiaryText}},
    };
    std::vector<Share> shares;
    for (const auto& slice : slices) shares.push_back(slice.second);
    layout->addWidget(new ShareBar(shares, footprint.totalBytes, m_figures));

    auto* legend = new QGridLayout;
    legend->setHorizontalSpacing(Theme::Space::xs);
    legend->setVerticalSpacing(Theme::Space::hairline);
    int column = 0;
    for (const auto& [title, share] : slices) {
        legend->addWidget(makeDot(share.colour, Theme::Size::dot, m_figures), 0, column);
        legend->addWidget(makeLabel(title, Theme::Text::caption, Theme::Role::secondaryText, m_figures), 0,
                          column + 1);
        legend->addWidget(makeLabel(qs(ByteFormat::short_(share.bytes)), Theme::Text::footnote,
                                    QFont::DemiBold, Theme::Role::text, m_figures),
                          1, column + 1);
        legend->setColumnStretch(column + 1, 1);
        column += 2;
    }
    layout->addLayout(legend);
    showItems(layout);
}

QHBoxLayout* OverviewView::makeShareChoices(QWidget* card) {
    auto* choices = new QHBoxLayout;
    choices->setSpacing(Theme::Space::s);
    const struct {
        const char* name;
        QString title;
        const char* symbol;
        void (ShareMenu::*action)();
    } actions[] = {{"saveImage", tr("Save image"), "tray-arrow-down", &ShareMenu::saveImage},
                   {"copyImage", tr("Copy image"), "copy", &ShareMenu::copyImage}};
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

QWidget* OverviewView::makeProjects(const std::vector<ProjectUsage>& projects) {
    auto* card = new Card(m_projects, Card::Look::outlined);
    auto* layout = cardLayout(card);
    layout->setSpacing(Theme::Space::s);
    for (const auto& project : projects) {
        auto* row = new QHBoxLayout;
        row->setSpacing(Theme::Space::s);
        auto* title = new ElidedLabel(qs(project.title), Theme::font(Theme::Text::footnote, QFont::DemiBold),
                                      Theme::Role::text, card, Qt::ElideRight);
        row->addWidget(title);
        const QString servers =
            project.serverCount == 1 ? tr("1 server") : tr("%1 servers").arg(project.serverCount);
        row->addWidget(makeLabel(servers, Theme::Text::caption, Theme::Role::tertiaryText, card));
        row->addStretch();
        row->addWidget(makeLabel(qs(ByteFormat::short_(project.bytes)), Theme::Text::footnote, QFont::Medium,
                                 Theme::Role::text, card));
        layout->addLayout(row);
    }
    return card;
}

QWidget* OverviewView::makeWindowRow() {
    auto* row = new WindowRow(m_window);
    row->setObjectName("openWindow");
    row->setCursor(Qt::PointingHandCursor);
    row->setAttribute(Qt::WA_Hover);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(Theme::Space::xl, Theme::Space::m, Theme::Space::l, Theme::Space::m);
    layout->setSpacing(Theme::Space::l);
    layout->addWidget(makeSymbol("app-window", Theme::Role::accent, 18, row));
    auto* text = new QVBoxLayout;
    text->setSpacing(Theme::Space::hairline);
    text->addWidget(makeLabel(tr("Open the Tarvik window"), Theme::Text::subheadline, QFont::DemiBold,
                              Theme::Role::text, row));
    text->addWidget(makeLabel(tr("Every app, chart and reading, in full"), Theme::Text::caption,
                              Theme::Role::secondaryText, row));
    layout->addLayout(text, 1);
    layout->addWidget(makeSymbol("caret-right", Theme::Role::tertiaryText, 12, row));
    row->setAccessibleName(tr("Open the Tarvik window"));
    for (auto* label : row->findChildren<QLabel*>()) label->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(row, &QAbstractButton::clicked, this, [this] { m_openWindow(); });
    return row;
}

}  // namespace tarvik::ui
